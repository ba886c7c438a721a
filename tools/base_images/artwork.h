// The start-up pictures of the base data, drawn in code: the title picture (twice as
// wide as high), the tachometer dial, the 3 x 3 grid of gear pictures and the pitboard.
#pragma once
#include "canvas.h"

canvas title_picture(const glyph_set& glyphs);
canvas tachometer_dial(const glyph_set& glyphs);
canvas shifter_grid(const glyph_set& glyphs);
canvas pitboard(const glyph_set& glyphs);
