// The settings the texture code reads on every load. The front end sets them from
// "@config" and the command line; the defaults are those of a fresh install.
#pragma once

extern int texture_detail_drop;   // 0..10: top mip levels the detail reduction may drop
extern int texture_compress;      // 0 never, 1 images marked "[compress]", 2 always
extern int verbose_level;         // 0..2: optional diagnostic lines when non-zero

// Largest texel count of one animation image.
inline constexpr int anim_texel_limit = 65536;
