// The pictures of the placed track objects: sprites with alpha (trees, a banner, the
// flaggers and their flags) and the RGB textures of the start gate and the hay bales.
#pragma once
#include "track_images.h"

#include <string>

// "tree", "banner", "marshal", "flag_green", "flag_yellow", "flag_white",
// "flag_chequered": 64 x 64 RGBA sprites.
picture sprite_picture(const std::string& name);
// "startgate" (painted steel with a yellow drop bar), "hay" (straw): 64 x 64 RGB.
picture object_texture(const std::string& name);
// "start_held", "start_raised", "start_dropped", "start_walk", "start_off" (the start
// marshal), "lap_plain", "lap_crossed" (the lap board) and "flag_yellow_waved" (the
// second frame of the waved yellow flag) are 64 x 64 RGBA sprites too.
// The trackside sign's texture and its two companion maps: 64 x 64 RGB.
enum class sign_map { colour, normal, specular };
picture sign_picture(sign_map map);
// Binary PPM bytes of an RGB picture.
std::string ppm_bytes(const picture& p);
