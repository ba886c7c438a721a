// Makes the pictures of the base data from the hand-drawn glyph design, always the
// same bytes for the same design: the three font images, the LINK placeholder and
// the start-up pictures, written as PNG with the program's own writer.
//
//   make_base_images <glyphs.txt> <output folder>
#include "artwork.h"
#include "font_images.h"
#include "glyph_source.h"

#include "gfx/images.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

bool write_rgba(const std::string& path, const std::vector<uint8_t>& pixels, int w, int h)
{
    if (png_write_rgba(path.c_str(), pixels.data(), w, h))
        return true;
    fprintf(stderr, "make_base_images: cannot write %s\n", path.c_str());
    return false;
}

// The program's RGB writer takes rows bottom first, as GL reads them back.
bool write_rgb(const std::string& path, std::vector<uint8_t> pixels, int w, int h)
{
    std::vector<uint8_t> flipped(pixels.size());
    const size_t row = static_cast<size_t>(w) * 3;
    for (int y = 0; y < h; ++y)
        std::copy(pixels.begin() + static_cast<long>(y * row), pixels.begin() + static_cast<long>((y + 1) * row),
                  flipped.begin() + static_cast<long>((h - 1 - y) * row));
    if (png_write_rgb(path.c_str(), flipped.data(), w, h))
        return true;
    fprintf(stderr, "make_base_images: cannot write %s\n", path.c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: make_base_images <glyphs.txt> <output folder>\n");
        return 2;
    }
    glyph_set glyphs;
    std::string error;
    if (!read_glyphs(argv[1], &glyphs, &error)) {
        fprintf(stderr, "make_base_images: %s\n", error.c_str());
        return 1;
    }
    const std::string out = argv[2];
    std::filesystem::create_directories(out + "/colors");

    bool ok = true;
    const rgba_image main_font = main_font_image(glyphs);
    ok &= write_rgba(out + "/font.png", main_font.pixels, main_font.w, main_font.h);
    for (bool condensed : {false, true}) {
        const rgba_image digits = digit_font_image(glyphs, condensed);
        ok &= write_rgba(out + (condensed ? "/numbers-condensed.png" : "/numbers.png"), digits.pixels, digits.w,
                         digits.h);
    }
    ok &= write_rgb(out + "/colors/white.png", {255, 255, 255}, 1, 1);
    const canvas title = title_picture(glyphs);
    ok &= write_rgb(out + "/title.png", title.rgb(), title.width(), title.height());
    for (const auto& [name, picture] : {std::pair{"tach.png", tachometer_dial(glyphs)},
                                        std::pair{"shifter.png", shifter_grid(glyphs)},
                                        std::pair{"pitboard.png", pitboard(glyphs)}})
        ok &= write_rgba(out + "/" + name, picture.rgba(), picture.width(), picture.height());
    return ok ? 0 : 1;
}
