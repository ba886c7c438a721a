#include "sample_script.h"

#include "terrain/timing_gates.h"

#include <cmath>
#include <cstdio>

std::string sample_script_positions(const course& c, const std::vector<centre_sample>& line)
{
    // The start gates stand 3 ft ahead of their slots; the row's ends give the centre.
    const timing_gates_state& g = timing_gates;
    float x = 0, z = 0, heading = 0, half_row = 0;
    const int n = g.start_slot_count;
    if (n > 0) {
        heading = g.start_slot_yaw[0];
        for (int i = 0; i < n; ++i) {
            x += g.start_slot_position[i][0] / float(n);
            z += g.start_slot_position[i][2] / float(n);
        }
        x -= 3 * std::sin(heading);
        z -= 3 * std::cos(heading);
        half_row = std::hypot(g.start_slot_position[n - 1][0] - g.start_slot_position[0][0],
                              g.start_slot_position[n - 1][2] - g.start_slot_position[0][2]) / 2;
    }
    // Beside the gate: past the row's first slot, 8 ft off its end.
    const float across_x = std::cos(heading), across_z = -std::sin(heading);
    const float beside_x = x - across_x * (half_row + 8), beside_z = z - across_z * (half_row + 8);

    // Outside the first banked turn: away from the turn's centre, 22 ft past its edge.
    float turn_x = x, turn_z = z;
    for (const control_point& p : c.points) {
        if (p.kind != feature::berm)
            continue;
        const centre_sample* best = &line.front();
        for (const centre_sample& s : line)
            if (std::hypot(s.x - p.x, s.z - p.z) < std::hypot(best->x - p.x, best->z - p.z))
                best = &s;
        // Turning right, the centre lies to the right: outside is the left normal.
        const float side = best->curvature > 0 ? 1.0f : -1.0f;
        turn_x = best->x + side * best->nx * (best->width / 2 + 22);
        turn_z = best->z + side * best->nz * (best->width / 2 + 22);
        break;
    }
    char text[512];
    snprintf(text, sizeof text,
             "// Written by the track generator from the course.\n"
             "var start_gate_x = %.2f, start_gate_z = %.2f, start_gate_heading = %.4f;\n"
             "var beside_gate_x = %.2f, beside_gate_z = %.2f;\n"
             "var first_turn_x = %.2f, first_turn_z = %.2f;\n",
             double(x), double(z), double(heading), double(beside_x), double(beside_z), double(turn_x),
             double(turn_z));
    return text;
}

picture marshal_picture()
{
    // Swatch columns left to right: vest, steel, rubber, chrome; then seat, skin,
    // trousers, flag. The two rows are mirrored below, so the palette reads the same
    // whichever way up the texture coordinates run.
    const uint8_t colours[2][4][3] = {{{245, 110, 20}, {150, 150, 160}, {30, 30, 30}, {200, 200, 210}},
                                      {{60, 60, 60}, {225, 180, 150}, {40, 50, 100}, {250, 215, 20}}};
    picture p = blank(64, 64, 3);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const int row = y / 16 < 2 ? y / 16 : 3 - y / 16, column = x / 16;
            const uint8_t* c = colours[row][column];
            put(p, x, y, c[0], c[1], c[2]);
        }
    return p;
}

picture sponsor_picture()
{
    picture p = blank(64, 64, 3);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const float dx = float(x) - 20, dy = float(y) - 32;
            if (x < 3 || x > 60 || y < 3 || y > 60)
                put(p, x, y, 240, 240, 240);
            else if (dx * dx + dy * dy < 13 * 13)
                put(p, x, y, 250, 140, 20);
            else if (x > 38 && x < 58 && (y / 8) % 2)
                put(p, x, y, 240, 240, 240);
            else
                put(p, x, y, 20, 60, 170);
        }
    return p;
}

picture lamp_picture()
{
    picture p = blank(32, 32, 4);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const float r = std::hypot(float(x) - 15.5f, float(y) - 15.5f);
            const float a = std::fmin(1.0f, std::fmax(0.0f, 15 - r));
            put(p, x, y, 255, 255, 255, 255 * a);
        }
    return p;
}

std::string horn_bytes()
{
    constexpr int kRate = 22050, kSamples = kRate * 3 / 2;
    constexpr double kAttack = 0.04 * kRate, kRelease = 0.3 * kRate, kPeak = 0.45 * 32767;
    std::string out;
    out.reserve(size_t(kSamples) * 2);
    for (int i = 0; i < kSamples; ++i) {
        const double t = double(i) / kRate;
        // A saw from each of the two horns, a few hertz apart.
        const double a = 2 * std::fmod(t * 349.0, 1.0) - 1, b = 2 * std::fmod(t * 353.5, 1.0) - 1;
        const double envelope = std::fmin(1.0, std::fmin(i / kAttack, (kSamples - i) / kRelease));
        const long v = std::lround(kPeak * envelope * (a + b) / 2);
        out.push_back(char(v & 0xff));
        out.push_back(char((v >> 8) & 0xff));
    }
    return out;
}
