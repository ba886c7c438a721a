// A small RGBA drawing surface for the bundled artwork: shapes given as inside tests
// are filled with 4 x 4 supersampling and composited over what is there.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "glyph_source.h"

struct colour {
    float r, g, b, a;
};

class canvas {
public:
    canvas(int w, int h, colour fill);
    int width() const { return w_; }
    int height() const { return h_; }

    // Composites c over texel (x, y) with the given coverage 0..1.
    void blend(int x, int y, colour c, float coverage = 1);
    // Fills the points (x, y) (texel units, texel centres at +0.5) where inside() holds,
    // within the bounding box x0..x1, y0..y1.
    void fill(float x0, float y0, float x1, float y1, colour c, const std::function<bool(float, float)>& inside);
    void rectangle(float x0, float y0, float x1, float y1, colour c);
    void disc(float cx, float cy, float radius, colour c);
    void ring(float cx, float cy, float inner, float outer, colour c);
    // A bar from (x0, y0) to (x1, y1) of the given thickness.
    void bar(float x0, float y0, float x1, float y1, float thickness, colour c);
    void rounded_rectangle(float x0, float y0, float x1, float y1, float radius, colour c);

    // Text in the glyph design, each design pixel scale texels square; returns the width.
    int text(const glyph_set& glyphs, const std::string& s, int x, int y, int scale, colour c);
    static int text_width(const glyph_set& glyphs, const std::string& s, int scale);

    std::vector<uint8_t> rgba() const;
    std::vector<uint8_t> rgb() const;

private:
    int w_, h_;
    std::vector<colour> texels_;
};
