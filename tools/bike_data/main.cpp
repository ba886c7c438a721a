// Writes the bike data of the base folder and the digest of the stock shapes:
// - the seven stock collision shapes and the start gate's ("*.shp");
// - the palette textures every bike record names ("<stem>.png", "wheels.png",
//   "rider_body.png", "rider_head.png") and the recoloured looks a rider may choose;
// - each record's bike models, copies of the "cr125" models that make_models wrote
//   (which must have run first) under the record's own stem;
// - a header with the RIPEMD-160 digest of the seven stock shapes in the order the
//   program hashes them.
// Deterministic: the same sources always give the same bytes.
//
//   make_bike_data <folder> <digest-header.h>
#include "shapes.h"
#include "textures.h"

#include "foundation/numbers/ripemd160.h"
#include "gfx/images.h"
#include "sim/bike_info.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>

namespace fs = std::filesystem;

namespace {

bool write_bytes(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (out)
        return true;
    fprintf(stderr, "make_bike_data: cannot write %s\n", path.c_str());
    return false;
}

bool read_bytes(const fs::path& path, std::string& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        fprintf(stderr, "make_bike_data: cannot read %s\n", path.c_str());
        return false;
    }
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// Writes the header only when its text changes, so the program is not rebuilt needlessly.
bool write_if_changed(const fs::path& path, const std::string& text)
{
    std::string old;
    std::ifstream in(path, std::ios::binary);
    if (in)
        old.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in && old == text)
        return true;
    fs::create_directories(path.parent_path());
    return write_bytes(path, text);
}

bool write_palette(const fs::path& path, const bikedata::palette& p)
{
    const std::vector<uint8_t> texels = bikedata::palette_texels(p);
    if (png_write_rgba(path.c_str(), texels.data(), bikedata::kPaletteSide, bikedata::kPaletteSide))
        return true;
    fprintf(stderr, "make_bike_data: cannot write %s\n", path.c_str());
    return false;
}

// "@cr125.png" -> "cr125".
std::string stem_of(const char* texture_name)
{
    std::string s = texture_name + 1;
    return s.substr(0, s.rfind('.'));
}

bool write_bikes(const fs::path& folder)
{
    static const char* const parts[] = {"_frame.jm", "_fork_upper.jm", "_fork_lower.jm", "_swingarm.jm",
                                        "_side_plates.jm", "_front_plate.jm"};
    std::set<std::string> stems;
    for (const bike_info& b : bike_infos)
        stems.insert(stem_of(b.file_names[bike_file_bike_texture]));
    bool ok = true;
    for (const std::string& stem : stems) {
        ok &= write_palette(folder / (stem + ".png"), bikedata::bike_palette(stem));
        if (stem == "cr125")
            continue;
        for (const char* part : parts) {
            std::string model;
            ok = ok && read_bytes(folder / (std::string("cr125") + part), model) &&
                 write_bytes(folder / (stem + part), model);
        }
    }
    ok &= write_palette(folder / "wheels.png", bikedata::wheel_palette());
    ok &= write_palette(folder / "rider_body.png", bikedata::rider_palette());
    ok &= write_palette(folder / "rider_head.png", bikedata::head_palette());
    return ok;
}

// The looks a rider may choose beside the defaults ("rider_body-<name>.png" and so on),
// recoloured from the default palettes, and one normal map that the lists leave out.
bool write_choice_textures(const fs::path& folder)
{
    const bikedata::rgb red{200, 30, 30}, blue{30, 110, 220}, white{245, 245, 245}, gold{212, 175, 55};
    bikedata::palette gear_red = bikedata::rider_palette(), gear_blue = gear_red;
    gear_red.paint = gear_red.cloth = red;
    gear_blue.paint = gear_blue.cloth = blue;
    bikedata::palette helmet_white = bikedata::head_palette();
    helmet_white.paint = helmet_white.accent = white;
    bikedata::palette wheels_gold = bikedata::wheel_palette();
    wheels_gold.chrome = wheels_gold.accent = gold;
    bikedata::palette yz_red = bikedata::bike_palette("yz250f");
    yz_red.paint = red;
    bool ok = write_palette(folder / "rider_body-red.png", gear_red);
    ok &= write_palette(folder / "rider_body-blue.png", gear_blue);
    ok &= write_palette(folder / "rider_head-white.png", helmet_white);
    ok &= write_palette(folder / "wheels-gold.png", wheels_gold);
    ok &= write_palette(folder / "yz250fv2014-red.png", yz_red);
    // A flat normal map: every texel points straight out of the surface.
    const bikedata::rgb flat{128, 128, 255};
    ok &= write_palette(folder / "rider_body-red_norm.png", {flat, flat, flat, flat, flat, flat, flat, flat});
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: make_bike_data <folder> <digest-header.h>\n");
        return 2;
    }
    const fs::path folder = argv[1];
    fs::create_directories(folder);

    std::map<std::string, std::string> texts;
    for (const bikedata::shape_file& shape : bikedata::stock_shapes()) {
        texts[shape.name] = bikedata::shape_text(shape);
        if (!write_bytes(folder / shape.name, texts[shape.name]))
            return 1;
    }
    if (!write_bikes(folder) || !write_choice_textures(folder))
        return 1;

    // The order the program hashes them in (not the order a bike is built in).
    static const char* const digest_order[] = {"generic_frame.shp", "generic_fork_upper.shp",
                                               "generic_fork_lower.shp", "generic_swingarm.shp", "front_wheel.shp",
                                               "rear_wheel.shp", "generic_rider.shp"};
    ripemd160_ctx ctx;
    ripemd160_init(&ctx);
    for (const char* name : digest_order)
        ripemd160_update(&ctx, texts[name].data(), texts[name].size());
    ripemd160_final(&ctx);
    char hex[41];
    ripemd160_to_hex(ctx.digest, hex);
    const std::string header = "// Generated by make_bike_data: the digest of the shipped stock shapes.\n"
                               "#pragma once\n\n"
                               "inline constexpr char stock_shapes_shipped_digest[] = \"" +
                               std::string(hex) + "\";\n";
    return write_if_changed(argv[2], header) ? 0 : 1;
}
