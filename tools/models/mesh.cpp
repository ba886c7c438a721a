#include "mesh.h"

#include <cstdio>
#include <stdexcept>

namespace gen {

namespace {

constexpr double pi = 3.14159265358979323846;

// Any unit vector not parallel to d, crossed twice, gives a frame around d.
void frame_around(vec3 d, vec3& p, vec3& q)
{
    vec3 hint = std::fabs(d.y) < 0.9 ? vec3{0, 1, 0} : vec3{1, 0, 0};
    p = normalise(cross(hint, d));
    q = cross(d, p);
}

std::string number(double value)
{
    char text[64];
    snprintf(text, sizeof text, "%.6f", value);
    std::string s = text;
    while (!s.empty() && s.back() == '0')
        s.pop_back();
    if (!s.empty() && s.back() == '.')
        s.pop_back();
    return s == "-0" ? "0" : s;
}

void require(bool ok, const std::string& model, const std::string& what)
{
    if (!ok)
        throw std::runtime_error(model + ": " + what);
}

}  // namespace

int part::add(const vertex& v)
{
    vertices.push_back(v);
    return static_cast<int>(vertices.size()) - 1;
}

void part::facing_triangle(int i0, int i1, int i2)
{
    const vertex &a = vertices[i0], &b = vertices[i1], &c = vertices[i2];
    const vec3 face = cross(b.position - a.position, c.position - a.position);
    if (length(face) < 1e-12)
        return;
    if (dot(face, a.normal + b.normal + c.normal) < 0)
        std::swap(i1, i2);
    triangles.insert(triangles.end(), {i0, i1, i2});
}

void part::facing_quad(int i0, int i1, int i2, int i3)
{
    facing_triangle(i0, i1, i2);
    facing_triangle(i0, i2, i3);
}

vertex make_vertex(vec3 p, vec3 n, uv_cell cell, double s, double t, const weights& w)
{
    vertex v;
    v.position = p;
    v.normal = normalise(n);
    if (cell.column < 0) {
        v.u = s;
        v.v = t;
    } else {
        v.u = (cell.column + 0.125 + 0.75 * s) / 4;
        v.v = (cell.row + 0.125 + 0.75 * t) / 4;
    }
    v.bones = w;
    return v;
}

void add_box(part& p, vec3 low, vec3 high, uv_cell cell, const weights& w)
{
    const vec3 centre = (low + high) * 0.5, half = (high - low) * 0.5;
    // Each face: its normal and two in-plane axes with u x v = normal.
    const vec3 faces[6][3] = {
        {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}},  {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
        {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}},  {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
        {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},   {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}},
    };
    auto scaled = [&](vec3 a) { return vec3{a.x * half.x, a.y * half.y, a.z * half.z}; };
    for (const auto& f : faces) {
        const vec3 n = f[0], u = scaled(f[1]), v = scaled(f[2]), c = centre + scaled(n);
        int first = -1;
        for (int k = 0; k < 4; ++k) {
            const double s = (k == 1 || k == 2) ? 1 : 0, t = k >= 2 ? 1 : 0;
            const int i = p.add(make_vertex(c + u * (2 * s - 1) + v * (2 * t - 1), n, cell, s, t, w));
            if (k == 0)
                first = i;
        }
        p.facing_quad(first, first + 1, first + 2, first + 3);
    }
}

void add_beam(part& p, vec3 a, vec3 b, double half_width, double half_height, vec3 side,
              uv_cell cell, const weights& wa, const weights& wb)
{
    const vec3 d = normalise(b - a);
    const vec3 across = normalise(side - d * dot(side, d)) * half_width;
    const vec3 up = normalise(cross(d, across)) * half_height;
    // The four long faces, then the two end caps.
    const vec3 sides[4][2] = {{across, up}, {up, across * -1}, {across * -1, up * -1}, {up * -1, across}};
    for (const auto& s : sides) {
        const vec3 n = normalise(s[0]);
        const vec3 c0 = s[0] - s[1], c1 = s[0] + s[1];
        const int i = p.add(make_vertex(a + c0, n, cell, 0, 0, wa));
        p.add(make_vertex(b + c0, n, cell, 1, 0, wb));
        p.add(make_vertex(b + c1, n, cell, 1, 1, wb));
        p.add(make_vertex(a + c1, n, cell, 0, 1, wa));
        p.facing_quad(i, i + 1, i + 2, i + 3);
    }
    for (int end = 0; end < 2; ++end) {
        const vec3 c = end ? b : a, n = end ? d : d * -1;
        const weights& w = end ? wb : wa;
        const int i = p.add(make_vertex(c - across - up, n, cell, 0, 0, w));
        p.add(make_vertex(c + across - up, n, cell, 1, 0, w));
        p.add(make_vertex(c + across + up, n, cell, 1, 1, w));
        p.add(make_vertex(c - across + up, n, cell, 0, 1, w));
        p.facing_quad(i, i + 1, i + 2, i + 3);
    }
}

void add_cylinder(part& p, vec3 a, vec3 b, double radius, int segments, uv_cell cell,
                  const weights& wa, const weights& wb)
{
    const vec3 d = normalise(b - a);
    vec3 e1, e2;
    frame_around(d, e1, e2);
    auto ring = [&](int k) {
        const double angle = 2 * pi * k / segments;
        return e1 * std::cos(angle) + e2 * std::sin(angle);
    };
    const int side = static_cast<int>(p.vertices.size());
    for (int k = 0; k <= segments; ++k) {
        const vec3 r = ring(k);
        const double s = static_cast<double>(k) / segments;
        p.add(make_vertex(a + r * radius, r, cell, s, 0, wa));
        p.add(make_vertex(b + r * radius, r, cell, s, 1, wb));
    }
    for (int k = 0; k < segments; ++k) {
        const int i = side + 2 * k;
        p.facing_quad(i, i + 2, i + 3, i + 1);
    }
    for (int end = 0; end < 2; ++end) {
        const vec3 c = end ? b : a, n = end ? d : d * -1;
        const weights& w = end ? wb : wa;
        const int centre = p.add(make_vertex(c, n, cell, 0.5, 0.5, w));
        for (int k = 0; k <= segments; ++k) {
            const vec3 r = ring(k);
            p.add(make_vertex(c + r * radius, n, cell, 0.5 + 0.5 * dot(r, e1), 0.5 + 0.5 * dot(r, e2), w));
        }
        for (int k = 0; k < segments; ++k)
            p.facing_triangle(centre, centre + 1 + k, centre + 2 + k);
    }
}

void add_torus(part& p, vec3 centre, double big, double small, int around, int tube, uv_cell cell, double width)
{
    const int first = static_cast<int>(p.vertices.size());
    for (int i = 0; i <= around; ++i) {
        const double theta = 2 * pi * i / around;
        const vec3 radial{0, std::cos(theta), std::sin(theta)};
        for (int j = 0; j <= tube; ++j) {
            const double phi = 2 * pi * j / tube;
            const vec3 section = radial * std::cos(phi) + vec3{std::sin(phi) * width, 0, 0};
            const vec3 n = radial * std::cos(phi) + vec3{std::sin(phi) / width, 0, 0};
            const vec3 pos = centre + radial * big + section * small;
            p.add(make_vertex(pos, n, cell, static_cast<double>(i) / around, static_cast<double>(j) / tube, {}));
        }
    }
    for (int i = 0; i < around; ++i)
        for (int j = 0; j < tube; ++j) {
            const int k = first + i * (tube + 1) + j, next = k + tube + 1;
            p.facing_quad(k, next, next + 1, k + 1);
        }
}

void add_sphere(part& p, vec3 centre, vec3 radii, int stacks, int slices, uv_cell cell, const weights& w)
{
    const int first = static_cast<int>(p.vertices.size());
    for (int i = 0; i <= stacks; ++i) {
        const double lat = pi * i / stacks;   // 0 at the top
        for (int j = 0; j <= slices; ++j) {
            const double lon = 2 * pi * j / slices;
            const vec3 unit{std::sin(lat) * std::cos(lon), std::cos(lat), std::sin(lat) * std::sin(lon)};
            const vec3 pos{unit.x * radii.x, unit.y * radii.y, unit.z * radii.z};
            const vec3 n{unit.x / radii.x, unit.y / radii.y, unit.z / radii.z};
            p.add(make_vertex(centre + pos, n, cell, static_cast<double>(j) / slices,
                              1 - static_cast<double>(i) / stacks, w));
        }
    }
    // The pole rows are fans: their quads would have a zero-length edge.
    for (int i = 0; i < stacks; ++i)
        for (int j = 0; j < slices; ++j) {
            const int k = first + i * (slices + 1) + j, below = k + slices + 1;
            if (i != 0)
                p.facing_triangle(k, k + 1, below + 1);
            if (i != stacks - 1)
                p.facing_triangle(k, below + 1, below);
        }
}

std::string jm_text(const model& m)
{
    require(!m.parts.empty(), m.name, "no parts");
    require(!m.legacy || (m.parts.size() == 1 && m.bone_count == 0), m.name, "legacy form holds one plain part");
    require(m.bone_count >= 0 && m.bone_count <= 32, m.name, "bone count out of range");
    std::string out;
    if (!m.legacy)
        out = m.bone_count > 0 ? "JM2 " + std::to_string(m.bone_count) + " " + m.skeleton + "\n" : "JM1\n";
    for (const part& p : m.parts) {
        const int n = static_cast<int>(p.vertices.size());
        const int t = static_cast<int>(p.triangles.size() / 3);
        if (m.legacy)
            out += std::to_string(n) + " " + std::to_string(t) + "\n";
        else
            out += number(p.s) + " " + number(p.a) + " " + number(p.r) + " " + number(p.g) + " " +
                   number(p.b) + " " + std::to_string(n) + " " + std::to_string(t) + "\n";
        for (const vertex& v : p.vertices) {
            require(std::fabs(length(v.normal) - 1) < 1e-6, m.name, "normal not of unit length");
            const double values[8] = {v.position.x, v.position.y, v.position.z, v.normal.x,
                                      v.normal.y,   v.normal.z,   v.u,          v.v};
            std::string line;
            for (double x : values) {
                require(std::isfinite(x), m.name, "number not finite");
                line += (line.empty() ? "" : " ") + number(x);
            }
            if (m.bone_count > 0) {
                double sum = 0;
                int used = 0;
                for (const auto& [bone, w] : v.bones) {
                    require(bone >= 0 && bone < m.bone_count && w > 0, m.name, "bad bone weight");
                    sum += w;
                    ++used;
                }
                require(used >= 1 && used <= 4 && std::fabs(sum - 1) < 1e-6, m.name, "weights must be 1..4 summing to 1");
                for (int bone = 0; bone < m.bone_count; ++bone) {
                    auto it = v.bones.find(bone);
                    line += " " + number(it == v.bones.end() ? 0.0 : it->second);
                }
            } else {
                require(v.bones.empty(), m.name, "weights on a model without bones");
            }
            out += line + "\n";
        }
        for (size_t i = 0; i < p.triangles.size(); i += 3) {
            const vertex &a = p.vertices[p.triangles[i]], &b = p.vertices[p.triangles[i + 1]],
                         &c = p.vertices[p.triangles[i + 2]];
            const vec3 face = cross(b.position - a.position, c.position - a.position);
            require(dot(face, a.normal + b.normal + c.normal) > 0, m.name, "triangle faces against its normals");
            out += std::to_string(p.triangles[i]) + " " + std::to_string(p.triangles[i + 1]) + " " +
                   std::to_string(p.triangles[i + 2]) + "\n";
        }
    }
    return out;
}

}  // namespace gen
