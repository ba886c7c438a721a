#include "textures.h"

namespace bikedata {

std::vector<uint8_t> palette_texels(const palette& p)
{
    const rgb cells[4][4] = {
        {p.paint, p.metal, p.rubber, p.chrome},
        {p.seat, p.accent, p.cloth, p.visor},
        {p.paint, p.paint, p.paint, p.paint},
        {p.paint, p.paint, p.paint, p.paint},
    };
    constexpr int cell = kPaletteSide / 4;
    std::vector<uint8_t> texels(static_cast<size_t>(kPaletteSide) * kPaletteSide * 4);
    for (int y = 0; y < kPaletteSide; ++y)
        for (int x = 0; x < kPaletteSide; ++x) {
            rgb c = cells[y / cell][x / cell];
            // A faint border inside each swatch keeps the pieces apart when mip-mapped.
            const bool edge = x % cell == 0 || y % cell == 0;
            uint8_t* t = &texels[(static_cast<size_t>(y) * kPaletteSide + x) * 4];
            t[0] = static_cast<uint8_t>(edge ? c.r * 7 / 8 : c.r);
            t[1] = static_cast<uint8_t>(edge ? c.g * 7 / 8 : c.g);
            t[2] = static_cast<uint8_t>(edge ? c.b * 7 / 8 : c.b);
            t[3] = 255;
        }
    return texels;
}

namespace {

constexpr rgb metal{110, 112, 118}, rubber{28, 28, 30}, chrome{200, 202, 208}, seat{24, 24, 26};
constexpr rgb cloth{60, 64, 72}, visor{20, 22, 30};

bool starts(const std::string& stem, const char* prefix)
{
    return stem.rfind(prefix, 0) == 0;
}

}  // namespace

palette bike_palette(const std::string& stem)
{
    rgb paint{200, 30, 30}, accent{240, 240, 240};              // "cr", "crf"
    if (starts(stem, "kx"))
        paint = {90, 190, 30}, accent = {20, 20, 20};
    else if (starts(stem, "rm"))
        paint = {240, 200, 20}, accent = {30, 60, 160};
    else if (starts(stem, "yz"))
        paint = {25, 60, 200}, accent = {240, 240, 240};
    else if (stem.find("sx") != std::string::npos)
        paint = {245, 110, 10}, accent = {20, 20, 20};
    else if (starts(stem, "fc"))
        paint = {235, 235, 240}, accent = {20, 50, 140};
    return {paint, metal, rubber, chrome, seat, accent, cloth, visor};
}

palette wheel_palette()
{
    return {rubber, metal, rubber, chrome, seat, {180, 180, 185}, cloth, visor};
}

palette rider_palette()
{
    return {{40, 70, 150}, metal, rubber, chrome, seat, {230, 230, 230}, {40, 70, 150}, visor};
}

palette head_palette()
{
    return {{235, 235, 235}, metal, rubber, chrome, seat, {200, 30, 30}, cloth, visor};
}

}  // namespace bikedata
