// The palette textures of the bike, wheel, rider and helmet models: 4 x 4 swatches
// of 16 x 16 texels in the order the models agree on (row 0: paint, metal, rubber,
// chrome; row 1: seat, accent, cloth, visor; rows 2-3 repeat the paint).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace bikedata {

struct rgb {
    uint8_t r, g, b;
};

struct palette {
    rgb paint, metal, rubber, chrome, seat, accent, cloth, visor;
};

inline constexpr int kPaletteSide = 64;

// RGBA texels, rows top first.
std::vector<uint8_t> palette_texels(const palette& p);

// The paint of a bike model stem, by its make ("cr", "kx", "rm", "yz", "sx", "fc").
palette bike_palette(const std::string& stem);
palette wheel_palette();
palette rider_palette();
palette head_palette();

}  // namespace bikedata
