#include "image_fixtures.h"

#include "support/test_support.h"

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <random>

namespace imgtest {
namespace {

struct Folders {
    bvtest::TempDir root;
    std::string game;
    std::string scratch;
    Folders()
    {
        game = root / "game";
        scratch = root / "scratch";
        bvtest::make_dirs(game);
        bvtest::make_dirs(scratch);
        bvtest::make_dirs(root / "user");
        setenv("XDG_DATA_HOME", (root / "user").c_str(), 1);
        setenv("BV_HOME", game.c_str(), 1);
    }
};

Folders& folders()
{
    static Folders f;
    return f;
}

// The search folders are fixed at their first use, so they are set before any test.
const bool folders_ready = (folders(), true);

void append(png_structp png, png_bytep data, size_t n)
{
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), n);
}

void no_flush(png_structp) {}

std::vector<png_text> texts_of(const std::vector<std::pair<std::string, std::string>>& list)
{
    std::vector<png_text> out;
    int kind = 0;
    for (const auto& [key, text] : list) {
        png_text t{};
        // Cycle through the three chunk kinds so all of them are read back.
        t.compression = kind == 0 ? PNG_TEXT_COMPRESSION_NONE : kind == 1 ? PNG_TEXT_COMPRESSION_zTXt
                                                                          : PNG_ITXT_COMPRESSION_NONE;
        kind = (kind + 1) % 3;
        t.key = const_cast<char*>(key.c_str());
        t.text = const_cast<char*>(text.c_str());
        t.text_length = text.size();
        out.push_back(t);
    }
    return out;
}

// Plain locals only: libpng leaves by longjmp.
bool encode(const PngSpec* spec, png_bytep* rows, png_text* before, int n_before, png_text* after, int n_after,
            std::string* out)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, append, no_flush);
    png_set_IHDR(png, info, spec->w, spec->h, spec->bit_depth, spec->color_type, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!spec->palette.empty())
        png_set_PLTE(png, info, spec->palette.data(), static_cast<int>(spec->palette.size()));
    if (!spec->trns.empty()) {
        if (spec->color_type == PNG_COLOR_TYPE_PALETTE) {
            png_set_tRNS(png, info, spec->trns.data(), static_cast<int>(spec->trns.size()), nullptr);
        } else {
            png_color_16 key{};
            auto sample = [&](size_t i) { return static_cast<png_uint_16>(spec->trns[2 * i] << 8 | spec->trns[2 * i + 1]); };
            if (spec->color_type == PNG_COLOR_TYPE_GRAY) {
                key.gray = sample(0);
            } else {
                key.red = sample(0);
                key.green = sample(1);
                key.blue = sample(2);
            }
            png_set_tRNS(png, info, nullptr, 0, &key);
        }
    }
    if (n_before)
        png_set_text(png, info, before, n_before);
    png_write_info(png, info);
    png_write_image(png, rows);
    if (n_after)
        png_set_text(png, info, after, n_after);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

std::string j_file(int w, int h, int channels, const Bytes& texels, const std::string& comment)
{
    std::string out = channels == 4 ? "J7\n" : "J6\n";
    out += comment + std::to_string(w) + "\n" + comment + std::to_string(h) + "\n";
    auto at = [&](int x, int y, int c) { return static_cast<int>(texels[(static_cast<size_t>(y) * w + x) * channels + c]); };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < channels; ++c) {
                int prediction = 0;
                if (x == 0 && y == 0)
                    prediction = 0;
                else if (y == 0)
                    prediction = at(x - 1, 0, c);
                else if (x == 0)
                    prediction = at(0, y - 1, c);
                else
                    prediction = std::clamp(at(x - 1, y, c) + at(x, y - 1, c) - at(x - 1, y - 1, c), 0, 255);
                out += static_cast<char>((at(x, y, c) - prediction) & 255);
            }
    return out;
}

std::string png_bytes(const PngSpec& spec)
{
    const size_t row_bytes = spec.rows.size() / static_cast<size_t>(spec.h);
    std::vector<png_bytep> rows;
    for (int y = 0; y < spec.h; ++y)
        rows.push_back(const_cast<png_bytep>(spec.rows.data() + y * row_bytes));
    auto before = texts_of(spec.text_before);
    auto after = texts_of(spec.text_after);
    std::string out;
    if (!encode(&spec, rows.data(), before.data(), static_cast<int>(before.size()), after.data(),
                static_cast<int>(after.size()), &out))
        return "";
    return out;
}

std::string png_of(int w, int h, int channels, const Bytes& texels)
{
    PngSpec spec;
    spec.w = w;
    spec.h = h;
    spec.color_type = channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB;
    spec.rows = texels;
    return png_bytes(spec);
}

const std::string& data_folder()
{
    return folders().game;
}

void put_data(const std::string& name, const std::string& bytes)
{
    bvtest::write_file(data_folder() + "/" + name, bytes);
}

void remove_data(const std::string& name)
{
    std::remove((data_folder() + "/" + name).c_str());
}

std::string scratch_path(const std::string& name)
{
    return folders().scratch + "/" + name;
}

std::string scratch_file(const std::string& name, const std::string& bytes)
{
    bvtest::write_file(scratch_path(name), bytes);
    return scratch_path(name);
}

Bytes take(const uint8_t* data, size_t n)
{
    return Bytes(data, data + n);
}

Bytes texel(const uint8_t* pixels, int w, int channels, int x, int y)
{
    const uint8_t* p = pixels + (static_cast<size_t>(y) * w + x) * channels;
    return Bytes(p, p + channels);
}

Bytes solid(int w, int h, const Bytes& colour)
{
    Bytes out;
    for (int i = 0; i < w * h; ++i)
        out.insert(out.end(), colour.begin(), colour.end());
    return out;
}

Bytes noise(size_t n, unsigned seed)
{
    std::mt19937 generator(seed);
    Bytes out(n);
    for (uint8_t& b : out)
        b = static_cast<uint8_t>(generator());
    return out;
}

}  // namespace imgtest
