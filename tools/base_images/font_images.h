// The three font images from the glyph design: the main font of the 94 printable
// characters and the two digit fonts of the number plates.
#pragma once
#include <cstdint>
#include <vector>

#include "glyph_source.h"

struct rgba_image {
    int w = 0, h = 0;
    std::vector<uint8_t> pixels;   // RGBA, top row first
};

// White glyphs with alpha as coverage on transparent white, 16 cells to a row, cells
// ended by marker pixels (255, 0, 255, 255) on each cell row's top line and cell rows
// marked in column 0.
rgba_image main_font_image(const glyph_set& glyphs);
// "0123456789" in one row: black digits with a white outline on transparent white
// (number plates turn white into the plate colour and black into the digit colour).
// The condensed digits are narrower, for numbers too wide for the plate.
rgba_image digit_font_image(const glyph_set& glyphs, bool condensed);
