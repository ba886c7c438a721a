// The hand-drawn glyph design (data/font/glyphs.txt): one block per character, a
// line "glyph C", then rows of '#' (ink) and '.' (empty), top first; a blank line
// ends a block, and '#' lines outside blocks are comments.
#pragma once
#include <map>
#include <string>
#include <vector>

inline constexpr int glyph_rows = 9;       // rows 0..6 cap height, 7..8 descender
inline constexpr int glyph_cap_rows = 7;

struct glyph {
    int width = 0;
    std::vector<std::string> rows;   // glyph_rows rows of `width` characters
    bool ink(int x, int y) const { return rows[y][x] == '#'; }
};

using glyph_set = std::map<char, glyph>;

// Reads and checks the design: every printable character '!'..'~' present, rows of
// equal width, at most glyph_rows of them. Errors go to *error.
bool read_glyphs(const std::string& path, glyph_set* glyphs, std::string* error);
