// Hand-made image files for the image, texture and font tests, all produced here: J6/J7
// encoded with the format's own predictor, and PNG files of any colour type written
// directly with libpng (text chunks before and after the image data). Also the data
// folder that "@" names resolve to, set up before any test runs.
#pragma once
#include <png.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace imgtest {

using Bytes = std::vector<uint8_t>;

// "J6"/"J7" file: header (with optional comment lines) and the residuals that make
// the given texels (channels 3 or 4, top row first).
std::string j_file(int w, int h, int channels, const Bytes& texels, const std::string& comment = "");

struct PngFixture {
    PngFixture(int w_ = 1, int h_ = 1, int color_type_ = PNG_COLOR_TYPE_RGB, int bit_depth_ = 8, Bytes rows_ = {},
               std::vector<png_color> palette_ = {}, Bytes trns_ = {})
        : w(w_), h(h_), color_type(color_type_), bit_depth(bit_depth_), rows(rows_), palette(palette_), trns(trns_)
    {
    }
    int w, h, color_type, bit_depth;
    Bytes rows;                       // packed rows exactly as PNG stores them, top first
    std::vector<png_color> palette;
    Bytes trns;                       // palette alphas, or a grey/RGB key (big-endian 16-bit samples)
    std::vector<std::pair<std::string, std::string>> text_before, text_after;   // keyword, text
};
std::string png_bytes(const PngFixture& fixture);
// 8-bit RGB or RGBA PNG from texels.
std::string png_of(int w, int h, int channels, const Bytes& texels);

// Writes into the folder "@name" resolves to first.
void put_data(const std::string& name, const std::string& bytes);
void remove_data(const std::string& name);
// A plain file in a scratch folder; returns its path.
std::string scratch_file(const std::string& name, const std::string& bytes);
std::string scratch_path(const std::string& name);

Bytes texel(const uint8_t* pixels, int w, int channels, int x, int y);
Bytes solid(int w, int h, const Bytes& colour);   // a w x h image of one colour
Bytes noise(size_t n, unsigned seed);             // deterministic

}  // namespace imgtest
