// Reading a course and laying its centreline out as a smooth closed loop.
//
// Lines: "title <text>", "ground <n> <cell>", "hill <x> <z> <radius> <height>",
// "sun <x> <y> <z>", "point <x> <z> <width> <rise> <feature> [<amount>]",
// "decal <point> <texture> <along> <across>"; '#' starts a comment.
#include "course.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

namespace {

bool parse_feature(const std::string& word, feature* out)
{
    static const std::pair<const char*, feature> names[] = {
        {"start", feature::start}, {"plain", feature::plain},         {"berm", feature::berm},
        {"table", feature::table}, {"double", feature::double_jump}, {"whoops", feature::whoops},
    };
    for (const auto& [name, kind] : names)
        if (word == name) {
            *out = kind;
            return true;
        }
    return false;
}

struct vec2 {
    double x, z;
};

// Uniform Catmull-Rom between p1 and p2.
vec2 catmull(const vec2& p0, const vec2& p1, const vec2& p2, const vec2& p3, double t)
{
    const double t2 = t * t, t3 = t2 * t;
    auto axis = [&](double a, double b, double c, double d) {
        return 0.5 * (2 * b + (-a + c) * t + (2 * a - 5 * b + 4 * c - d) * t2 + (-a + 3 * b - 3 * c + d) * t3);
    };
    return {axis(p0.x, p1.x, p2.x, p3.x), axis(p0.z, p1.z, p2.z, p3.z)};
}

}  // namespace

bool read_course(const std::string& path, course* out, std::string* error)
{
    std::ifstream in(path);
    if (!in) {
        *error = "cannot read " + path;
        return false;
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (const size_t hash = line.find('#'); hash != std::string::npos)
            line.resize(hash);
        std::istringstream words(line);
        std::string key;
        if (!(words >> key))
            continue;
        bool ok = true;
        if (key == "title") {
            std::getline(words >> std::ws, out->title);
        } else if (key == "ground") {
            ok = bool(words >> out->n >> out->cell) && out->n >= 1 && out->n <= 12 && out->cell > 0;
        } else if (key == "sun") {
            ok = bool(words >> out->sun[0] >> out->sun[1] >> out->sun[2]);
        } else if (key == "hill") {
            hill h;
            ok = bool(words >> h.x >> h.z >> h.radius >> h.height) && h.radius > 0;
            out->hills.push_back(h);
        } else if (key == "point") {
            control_point p{};
            std::string kind;
            ok = bool(words >> p.x >> p.z >> p.width >> p.rise >> kind) && parse_feature(kind, &p.kind) &&
                 p.width > 0;
            if (!(words >> p.amount))
                p.amount = 0;
            out->points.push_back(p);
        } else if (key == "decal") {
            course_decal d;
            ok = bool(words >> d.point >> d.texture >> d.along >> d.across);
            out->decals.push_back(d);
        } else {
            ok = false;
        }
        if (!ok) {
            *error = path + ":" + std::to_string(number) + ": cannot read \"" + line + "\"";
            return false;
        }
    }
    if (out->points.size() < 4) {
        *error = path + ": a course needs at least four points";
        return false;
    }
    for (const course_decal& d : out->decals)
        if (d.point < 0 || d.point >= int(out->points.size())) {
            *error = path + ": a decal names point " + std::to_string(d.point) + ", which does not exist";
            return false;
        }
    return true;
}

std::vector<centre_sample> sample_centreline(const course& c, float step)
{
    const int count = int(c.points.size());
    auto at = [&](int i) {
        const control_point& p = c.points[size_t((i % count + count) % count)];
        return vec2{p.x, p.z};
    };
    // A fine walk of every stretch, with the running arclength.
    struct fine {
        vec2 p;
        int stretch;
        double t;
        double s;
    };
    std::vector<fine> walk;
    double s = 0;
    const int per = 400;
    for (int i = 0; i < count; ++i)
        for (int k = 0; k < per; ++k) {
            const double t = double(k) / per;
            const vec2 p = catmull(at(i - 1), at(i), at(i + 1), at(i + 2), t);
            if (!walk.empty())
                s += std::hypot(p.x - walk.back().p.x, p.z - walk.back().p.z);
            walk.push_back({p, i, t, s});
        }
    const vec2 first = walk.front().p;
    const double total = s + std::hypot(first.x - walk.back().p.x, first.z - walk.back().p.z);

    // Where each stretch starts and how long it is.
    std::vector<double> starts(size_t(count) + 1, total);
    for (const fine& f : walk)
        if (f.t == 0.0)
            starts[size_t(f.stretch)] = f.s;

    std::vector<centre_sample> out;
    size_t cursor = 0;
    for (double target = 0; target < total; target += step) {
        while (cursor + 1 < walk.size() && walk[cursor + 1].s <= target)
            ++cursor;
        const fine& a = walk[cursor];
        const fine& b = cursor + 1 < walk.size() ? walk[cursor + 1] : walk.front();
        const double span = (cursor + 1 < walk.size() ? b.s : total) - a.s;
        const double f = span > 0 ? (target - a.s) / span : 0;
        centre_sample c_s{};
        c_s.x = float(a.p.x + (b.p.x - a.p.x) * f);
        c_s.z = float(a.p.z + (b.p.z - a.p.z) * f);
        c_s.s = float(target);
        c_s.stretch = a.stretch;
        const double length = starts[size_t(a.stretch) + 1] - starts[size_t(a.stretch)];
        c_s.stretch_length = float(length);
        c_s.from_start = float(target - starts[size_t(a.stretch)]);
        c_s.u = float(length > 0 ? c_s.from_start / length : 0);
        const double t = a.t + (1.0 / per) * f;
        const control_point& p0 = c.points[size_t(a.stretch)];
        const control_point& p1 = c.points[size_t((a.stretch + 1) % count)];
        // Smooth in and out of each control point's values.
        const double w = t * t * (3 - 2 * t);
        c_s.width = float(p0.width + (p1.width - p0.width) * w);
        c_s.rise = float(p0.rise + (p1.rise - p0.rise) * w);
        out.push_back(c_s);
    }
    // Tangents and curvature from the neighbours round the loop.
    const size_t n = out.size();
    for (size_t i = 0; i < n; ++i) {
        const centre_sample& prev = out[(i + n - 1) % n];
        const centre_sample& next = out[(i + 1) % n];
        double tx = next.x - prev.x, tz = next.z - prev.z;
        const double len = std::hypot(tx, tz);
        tx /= len > 0 ? len : 1;
        tz /= len > 0 ? len : 1;
        out[i].tx = float(tx);
        out[i].tz = float(tz);
        out[i].nx = float(tz);
        out[i].nz = float(-tx);
    }
    for (size_t i = 0; i < n; ++i) {
        // Heading change over 10 samples either side, per foot of arclength.
        const centre_sample& a = out[(i + n - 10) % n];
        const centre_sample& b = out[(i + 10) % n];
        const double cross = a.tx * b.tz - a.tz * b.tx;
        const double dot = a.tx * b.tx + a.tz * b.tz;
        out[i].curvature = float(std::atan2(cross, dot) / (20.0 * step));
    }
    return out;
}

float distance_to_border(const std::vector<centre_sample>& line, float side)
{
    float nearest = side;
    for (const centre_sample& s : line) {
        const float inside = std::min(std::min(s.x, s.z), std::min(side - s.x, side - s.z));
        nearest = std::min(nearest, inside - s.width / 2);
    }
    return nearest;
}
