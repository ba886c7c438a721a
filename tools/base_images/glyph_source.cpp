#include "glyph_source.h"

#include <fstream>

bool read_glyphs(const std::string& path, glyph_set* glyphs, std::string* error)
{
    std::ifstream in(path);
    if (!in) {
        *error = "cannot read " + path;
        return false;
    }
    std::string line;
    glyph* current = nullptr;
    char current_char = 0;
    int line_number = 0;
    auto fail = [&](const std::string& what) {
        *error = path + ":" + std::to_string(line_number) + ": " + what;
        return false;
    };
    while (std::getline(in, line)) {
        ++line_number;
        if (line.empty()) {
            current = nullptr;
            continue;
        }
        if (line.rfind("glyph ", 0) == 0) {
            if (line.size() != 7 || line[6] < '!' || line[6] > '~')
                return fail("a glyph line names one printable character");
            current_char = line[6];
            if (glyphs->count(current_char))
                return fail(std::string("second glyph for '") + current_char + "'");
            current = &(*glyphs)[current_char];
            continue;
        }
        if (!current) {
            if (line[0] == '#')
                continue;
            return fail("row outside a glyph block");
        }
        if (line.find_first_not_of("#.") != std::string::npos)
            return fail("rows hold only '#' and '.'");
        if (!current->rows.empty() && static_cast<int>(line.size()) != current->width)
            return fail(std::string("uneven rows in '") + current_char + "'");
        if (static_cast<int>(current->rows.size()) == glyph_rows)
            return fail(std::string("too many rows in '") + current_char + "'");
        current->width = static_cast<int>(line.size());
        current->rows.push_back(line);
    }
    for (char c = '!'; c <= '~'; ++c) {
        auto it = glyphs->find(c);
        if (it == glyphs->end()) {
            *error = path + ": no glyph for '" + std::string(1, c) + "'";
            return false;
        }
        while (static_cast<int>(it->second.rows.size()) < glyph_rows)
            it->second.rows.push_back(std::string(static_cast<size_t>(it->second.width), '.'));
    }
    return true;
}
