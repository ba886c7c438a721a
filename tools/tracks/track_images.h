// The pictures a track folder names: the ground tiles (tileable, 128 x 128 RGB),
// the decals with their normal and specular maps, and the default roost sprite.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct picture {
    int w = 0, h = 0, channels = 3;
    std::vector<uint8_t> pixels;   // rows from the top
};

// An empty (black, transparent) picture, and one pixel set from 0..255 channel
// values (rounded, clamped).
picture blank(int w, int h, int channels);
void put(picture& p, int x, int y, float r, float g, float b, float a = 255);

enum class tile_look { dirt, packed_dirt, grass };
picture tile_picture(tile_look look);

// "start_line" (a painted white stripe) or "finish_line" (a chequered band); the
// picture's width runs along the track, its height across it.
picture decal_picture(const std::string& name);
// Tangent-space normal map of a decal (flat is 128, 128, 255) and its specular map
// (red: strength, green: exponent / 128).
picture decal_normal_map(const std::string& name);
picture decal_specular_map(const std::string& name);

// A soft clod of dirt with alpha, the roost types' default sprite.
picture roost_picture();
