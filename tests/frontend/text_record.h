// Every text the drawing code draws while a TextRecord lives: the string, the
// caller's colour and the modelview origin (x right, y up, on the plane at z -1).
#pragma once
#include <array>
#include <string>
#include <vector>

namespace fronttest {

struct DrawnText {
    std::string text;
    std::array<float, 4> colour;
    std::array<float, 3> origin;
};

struct TextRecord {
    TextRecord();
    ~TextRecord();
    std::vector<DrawnText> texts;
    // The first text equal to `text`; null when none was drawn.
    const DrawnText* find(const std::string& text) const;
    bool has(const std::string& text) const { return find(text) != nullptr; }
    // The texts whose origin lies within `tolerance` of y, left to right.
    std::vector<std::string> row_at(float y, float tolerance) const;
};

}  // namespace fronttest
