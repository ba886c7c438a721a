// A course description (data/tracks/<name>/course.txt) and its centreline sampled
// every foot along its length.
#pragma once
#include <string>
#include <vector>

enum class feature { start, plain, berm, table, double_jump, whoops };

struct control_point {
    float x, z, width, rise;
    feature kind;
    float amount;
};

struct hill {
    float x, z, radius, height;
};

struct course_decal {
    int point;
    std::string texture;   // a name under "decals/", without ".png"
    float along, across;
};

struct course {
    std::string title;
    int n = 9;
    float cell = 1.0f;
    float sun[3] = {0.45f, 0.8f, 0.35f};
    std::vector<hill> hills;
    std::vector<control_point> points;
    std::vector<course_decal> decals;
};

// One centreline sample: position, unit tangent, the left normal (tangent turned
// towards -x when it points along +z), the arclength, the interpolated width and
// rise, the stretch it lies on with its position in it (0..1, and feet from its
// start), and the signed curvature per foot (positive turning right, away from
// the left normal).
struct centre_sample {
    float x, z;
    float tx, tz;
    float nx, nz;
    float s;
    float width, rise;
    int stretch;
    float u, from_start, stretch_length;
    float curvature;
};

// Reads the description; false with a message in *error.
bool read_course(const std::string& path, course* out, std::string* error);

// The closed centreline through the control points (a Catmull-Rom loop), resampled
// every `step` feet of arclength.
std::vector<centre_sample> sample_centreline(const course& c, float step);

// The least distance, in feet, from the track's edges to the border of a square
// ground `side` feet wide.
float distance_to_border(const std::vector<centre_sample>& line, float side);
