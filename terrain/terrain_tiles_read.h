// The ground tiles of a track folder: the keyword file "tileinfo" and the older
// one-line-per-tile "texturelist". Both fill the tile tables of the record from
// tile 0 on, set the tile count, and list each tile's texture name for the atlas.
#pragma once
#include "terrain/terrain_state.h"

#include <string>
#include <vector>

struct vfs_file;

// Loads a texture by data name and returns its id, 0 on failure (the texture cache
// in the program; tests pass their own).
using terrain_texture_loader = uint32_t (*)(const char* name);

// The longest "tileinfo" the load takes. A tile uses at most 51 keyword lines (its
// name, texture, slip function and addtile, 8 friction, 8 roll_resist and 8 erode_limit
// points, 4 roost types and the 19 erode values); 64 lines of the longest a line is
// read, 1 KiB, for each of 256 tiles is 16 MiB.
inline constexpr uint32_t kTileInfoMax = uint32_t(kTerrainMaxTiles) * 64 * 1024;
// The longest "texturelist": a line of at most 1 KiB for each of 256 tiles is 256 KiB;
// four times that leaves room for the blank lines it passes over.
inline constexpr uint32_t kTextureListMax = uint32_t(kTerrainMaxTiles) * 4 * 1024;

// Reads "tileinfo" lines until the file ends or 256 tiles are stored; warnings go
// to the console, naming file_name where a value was changed. Returns the tile count.
int terrain_read_tileinfo(terrain_state* terrain, vfs_file* f, terrain_texture_loader load,
                          std::vector<std::string>* texture_names, const char* file_name = "tileinfo");

// Reads "texturelist" lines ("friction a b name"); returns the tile count.
int terrain_read_texturelist(terrain_state* terrain, vfs_file* f, terrain_texture_loader load,
                             std::vector<std::string>* texture_names);

// The next line into line (at most size - 1 characters, line end kept); the rest
// of a longer line is passed over, so its tail is never read as a line of its own.
// Null at the end of the file.
char* terrain_read_line(vfs_file* f, char* line, int size);

// One "roost" value: items key=value separated by blanks (quotes keep them), applied
// to roost, which the caller has set to the defaults and mode 1.
void terrain_parse_roost(const char* items, roost_type* roost, terrain_texture_loader load);
