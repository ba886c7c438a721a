// Building blocks of the model generator: vectors, parts made of simple solids
// (boxes, beams, cylinders, tori, spheres), bone weights per vertex, and the ".jm"
// text a model becomes. Every solid is wound counter-clockwise seen from outside,
// with outward normals, so back-face culling and lighting both come out right.
#pragma once
#include <cmath>
#include <map>
#include <string>
#include <vector>

namespace gen {

struct vec3 {
    double x = 0, y = 0, z = 0;
};

inline vec3 operator+(vec3 a, vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline vec3 operator-(vec3 a, vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline vec3 operator*(vec3 a, double k) { return {a.x * k, a.y * k, a.z * k}; }
inline double dot(vec3 a, vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline vec3 cross(vec3 a, vec3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double length(vec3 a) { return std::sqrt(dot(a, a)); }
inline vec3 normalise(vec3 a)
{
    const double l = length(a);
    return l > 0 ? a * (1.0 / l) : vec3{0, 1, 0};
}

// Bone number -> weight. Empty for models without bones.
using weights = std::map<int, double>;

// Texture space is split into a 4 x 4 grid of swatches; each solid samples the inside
// of one cell, so a plain palette image gives every piece its own colour.
struct uv_cell {
    int column = 0, row = 0;
};

// The swatches every generated model agrees on, so one palette image per object
// colours all of its pieces.
namespace swatch {
inline constexpr uv_cell body{0, 0};      // main paint or plastic
inline constexpr uv_cell metal{1, 0};     // frame tubes, posts
inline constexpr uv_cell rubber{2, 0};    // tyres, grips, boots
inline constexpr uv_cell chrome{3, 0};    // fork tubes, hubs, spokes
inline constexpr uv_cell seat{0, 1};      // seat, pads
inline constexpr uv_cell accent{1, 1};    // graphics, lamp, visor trim
inline constexpr uv_cell cloth{2, 1};     // riding jersey and pants
inline constexpr uv_cell visor{3, 1};     // dark visor, engine block
inline constexpr uv_cell whole{-1, -1};   // the whole image, for number plates
}  // namespace swatch

struct vertex {
    vec3 position, normal;
    double u = 0, v = 0;
    weights bones;
};

struct part {
    double s = 32, a = 1, r = 1, g = 1, b = 1;   // kind and shininess, strength, colour
    std::vector<vertex> vertices;
    std::vector<int> triangles;                 // three vertex numbers each

    int add(const vertex& v);
    // Appends a triangle, turned so that it faces the way its vertex normals point.
    void facing_triangle(int i0, int i1, int i2);
    void facing_quad(int i0, int i1, int i2, int i3);
};

// A part of the given kind and shininess and colour, with no geometry yet.
inline part lit(double shininess, double r, double g, double b)
{
    part p;
    p.s = shininess;
    p.r = r;
    p.g = g;
    p.b = b;
    return p;
}

// Every vertex on one bone alone.
inline weights only(int bone) { return {{bone, 1.0}}; }

// How a solid maps its local (s, t) in 0..1 into a cell; cell (-1, -1) uses the
// whole texture, as number plates do.
vertex make_vertex(vec3 p, vec3 n, uv_cell cell, double s, double t, const weights& w);

// An axis-aligned box, 24 vertices with one normal per face.
void add_box(part& p, vec3 low, vec3 high, uv_cell cell, const weights& w = {});
// A square-section bar from a to b; `side` picks the direction of its width.
// The ends carry their own weights, so a limb bends with two bones at a joint.
void add_beam(part& p, vec3 a, vec3 b, double half_width, double half_height, vec3 side,
              uv_cell cell, const weights& wa = {}, const weights& wb = {});
// A capped cylinder from a to b.
void add_cylinder(part& p, vec3 a, vec3 b, double radius, int segments, uv_cell cell,
                  const weights& wa = {}, const weights& wb = {});
// A ring around the x axis through centre: major radius big, tube radius small, the
// tube's section squeezed along x by width (a tyre narrower than it is tall).
void add_torus(part& p, vec3 centre, double big, double small, int around, int tube, uv_cell cell,
               double width = 1);
// A sphere of stacks x slices around the y axis, squashed by scale per axis.
void add_sphere(part& p, vec3 centre, vec3 radii, int stacks, int slices, uv_cell cell,
                const weights& w = {});

struct model {
    std::string name;         // file name inside the archive, "cube.jm"
    bool legacy = false;      // the old "n t" form: one part, no header
    int bone_count = 0;       // above 0: JM2 with this many weights per vertex
    std::string skeleton = "none";
    std::vector<part> parts;
};

// The file text of a model. Throws std::runtime_error for a model that breaks the
// rules the loader and the shaders hold it to (bad numbers, faces against their
// normals, more than four influences, weights not summing to 1).
std::string jm_text(const model& m);

}  // namespace gen
