#include "image_fixtures.h"

#include "support/test_support.h"

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <random>

namespace imgtest {
namespace {

struct Folders {
    bvtest::TempDir root;
    std::string game = root / "game", scratch = root / "scratch";
    Folders()
    {
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

std::vector<png_text> texts_of(const std::vector<std::pair<std::string, std::string>>& list)
{
    std::vector<png_text> out;
    for (const auto& [key, text] : list) {
        png_text t{};
        // Cycle through the three chunk kinds so all of them are read back.
        const int kinds[] = {PNG_TEXT_COMPRESSION_NONE, PNG_TEXT_COMPRESSION_zTXt, PNG_ITXT_COMPRESSION_NONE};
        t.compression = kinds[out.size() % 3];
        t.key = const_cast<char*>(key.c_str());
        t.text = const_cast<char*>(text.c_str());
        t.text_length = text.size();
        out.push_back(t);
    }
    return out;
}

// Plain locals only: libpng leaves by longjmp.
bool encode(const PngFixture* f, png_bytep* rows, std::vector<png_text>* before, std::vector<png_text>* after,
            std::string* out)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, append, nullptr);
    png_set_IHDR(png, info, f->w, f->h, f->bit_depth, f->color_type, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!f->palette.empty())
        png_set_PLTE(png, info, f->palette.data(), static_cast<int>(f->palette.size()));
    if (f->color_type == PNG_COLOR_TYPE_PALETTE && !f->trns.empty()) {
        png_set_tRNS(png, info, f->trns.data(), static_cast<int>(f->trns.size()), nullptr);
    } else if (!f->trns.empty()) {
        auto sample = [&](size_t i) { return static_cast<png_uint_16>(f->trns[2 * i] << 8 | f->trns[2 * i + 1]); };
        png_color_16 key{};
        key.gray = key.red = sample(0);
        if (f->trns.size() >= 6)
            key.green = sample(1), key.blue = sample(2);
        png_set_tRNS(png, info, nullptr, 0, &key);
    }
    if (!before->empty())
        png_set_text(png, info, before->data(), static_cast<int>(before->size()));
    png_write_info(png, info);
    png_write_image(png, rows);
    if (!after->empty())
        png_set_text(png, info, after->data(), static_cast<int>(after->size()));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

std::string j_file(int w, int h, int channels, const Bytes& texels, const std::string& comment)
{
    std::string out = (channels == 4 ? "J7\n" : "J6\n") + comment + std::to_string(w) + "\n" + comment +
                      std::to_string(h) + "\n";
    auto at = [&](int x, int y, int c) { return int(texels[(static_cast<size_t>(y) * w + x) * channels + c]); };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < channels; ++c) {
                const int prediction = x == 0 && y == 0 ? 0
                                     : y == 0           ? at(x - 1, 0, c)
                                     : x == 0           ? at(0, y - 1, c)
                                     : std::clamp(at(x - 1, y, c) + at(x, y - 1, c) - at(x - 1, y - 1, c), 0, 255);
                out += static_cast<char>((at(x, y, c) - prediction) & 255);
            }
    return out;
}

std::string png_bytes(const PngFixture& fixture)
{
    const size_t row_bytes = fixture.rows.size() / static_cast<size_t>(fixture.h);
    std::vector<png_bytep> rows;
    for (int y = 0; y < fixture.h; ++y)
        rows.push_back(const_cast<png_bytep>(fixture.rows.data() + y * row_bytes));
    auto before = texts_of(fixture.text_before), after = texts_of(fixture.text_after);
    std::string out;
    return encode(&fixture, rows.data(), &before, &after, &out) ? out : "";
}

std::string png_of(int w, int h, int channels, const Bytes& texels)
{
    PngFixture fixture;
    fixture.w = w, fixture.h = h, fixture.rows = texels;
    fixture.color_type = channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB;
    return png_bytes(fixture);
}

void put_data(const std::string& name, const std::string& bytes) { bvtest::write_file(folders().game + "/" + name, bytes); }
void remove_data(const std::string& name) { std::remove((folders().game + "/" + name).c_str()); }
std::string scratch_path(const std::string& name) { return folders().scratch + "/" + name; }

std::string scratch_file(const std::string& name, const std::string& bytes)
{
    bvtest::write_file(scratch_path(name), bytes);
    return scratch_path(name);
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
