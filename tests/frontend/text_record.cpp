#include "text_record.h"

#include "gfx/fonts.h"

#include <algorithm>
#include <cmath>

namespace fronttest {
namespace {
TextRecord* active = nullptr;
}

TextRecord::TextRecord()
{
    active = this;
    text_capture = [](const char* text, const float colour[4], const float origin[3]) {
        active->texts.push_back({text, {colour[0], colour[1], colour[2], colour[3]}, {origin[0], origin[1], origin[2]}});
    };
}

TextRecord::~TextRecord()
{
    text_capture = nullptr;
    active = nullptr;
}

const DrawnText* TextRecord::find(const std::string& text) const
{
    for (const DrawnText& t : texts)
        if (t.text == text)
            return &t;
    return nullptr;
}

std::vector<std::string> TextRecord::row_at(float y, float tolerance) const
{
    std::vector<const DrawnText*> row;
    for (const DrawnText& t : texts)
        if (std::fabs(t.origin[1] - y) <= tolerance)
            row.push_back(&t);
    std::stable_sort(row.begin(), row.end(), [](auto a, auto b) { return a->origin[0] < b->origin[0]; });
    std::vector<std::string> out;
    for (auto* t : row)
        out.push_back(t->text);
    return out;
}

}  // namespace fronttest
