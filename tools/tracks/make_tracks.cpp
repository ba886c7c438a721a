// Makes the bundled track folders, always the same bytes for the same sources:
//   tracks/sample  the course of <data>/sample/course.txt on a 1025 x 1025 ground
//   tracks/flat    a tiny flat ground for tests, its heights inline in "terrain.hf",
//                  under the sample's sky
// each with the placed objects of <data>/<track>/objects.txt (timing gates, start
// gate, statues, billboards, flaggers, cameras), plus the pictures they name:
// tiles/*.png, decals/*.png with their "_tnorm" and "_tspec" maps, roost.png, the HUD map "map.png", the
// object sprites and textures, the start gate's "startgate.ppm", the default sky
// faces "sky-n.ppm" .. "sky-u.ppm" and "sky-env.ppm", and the lens-flare sprites. The heights go through the program's own terrain
// writer, the pictures through its PNG writer.
//
//   make_tracks <data/tracks folder> <output folder>
#include "course.h"
#include "ground.h"
#include "map_picture.h"
#include "object_pictures.h"
#include "racing_lines.h"
#include "sample_script.h"
#include "sky_pictures.h"
#include "track_images.h"
#include "track_objects.h"

#include "gfx/images.h"
#include "sim/ai_lines_file.h"
#include "terrain/terrain_files.h"
#include "terrain/terrain_state.h"
#include "terrain/timing_gates.h"

#include <zlib.h>

#include <algorithm>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string out_folder;

bool fail(const std::string& what)
{
    fprintf(stderr, "make_tracks: %s\n", what.c_str());
    return false;
}

bool write_bytes(const std::string& name, const std::string& bytes)
{
    const fs::path path = fs::path(out_folder) / name;
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return out.good() || fail("cannot write " + path.string());
}

// A gzip member the data files open transparently as "<name>" (header time 0).
bool write_gzip(const std::string& name, const std::string& bytes)
{
    z_stream z{};
    if (deflateInit2(&z, 9, Z_DEFLATED, 31, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        return fail("zlib refused");
    std::string packed(deflateBound(&z, uLong(bytes.size())) + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = uInt(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(packed.data());
    z.avail_out = uInt(packed.size());
    const int done = deflate(&z, Z_FINISH);
    packed.resize(z.total_out);
    deflateEnd(&z);
    return done == Z_STREAM_END ? write_bytes(name + ".gz", packed) : fail("cannot pack " + name);
}

bool write_picture(const std::string& name, const picture& p)
{
    const std::string path = (fs::path(out_folder) / name).string();
    fs::create_directories(fs::path(path).parent_path());
    if (p.channels == 4)
        return png_write_rgba(path.c_str(), p.pixels.data(), p.w, p.h) || fail("cannot write " + path);
    // The RGB writer takes rows bottom first, as GL reads them back.
    std::vector<uint8_t> flipped(p.pixels.size());
    const size_t row = size_t(p.w) * 3;
    for (int y = 0; y < p.h; ++y)
        std::copy(p.pixels.begin() + long(y * row), p.pixels.begin() + long((y + 1) * row),
                  flipped.begin() + long((p.h - 1 - y) * row));
    return png_write_rgb(path.c_str(), flipped.data(), p.w, p.h) || fail("cannot write " + path);
}

bool write_pictures()
{
    bool ok = write_picture("tiles/dirt.png", tile_picture(tile_look::dirt));
    ok = write_picture("tiles/packed_dirt.png", tile_picture(tile_look::packed_dirt)) && ok;
    ok = write_picture("tiles/grass.png", tile_picture(tile_look::grass)) && ok;
    for (const char* decal : {"start_line", "finish_line"}) {
        const std::string base = std::string("decals/") + decal;
        ok = write_picture(base + ".png", decal_picture(decal)) && ok;
        ok = write_picture(base + "_tnorm.png", decal_normal_map(decal)) && ok;
        ok = write_picture(base + "_tspec.png", decal_specular_map(decal)) && ok;
    }
    for (const char* sprite : {"tree", "banner"})
        ok = write_picture(std::string("billboards/") + sprite + ".png", sprite_picture(sprite)) && ok;
    for (const char* sprite : {"marshal", "flag_green", "flag_yellow", "flag_yellow_waved", "flag_white",
                               "flag_chequered", "start_held", "start_raised", "start_dropped", "start_walk",
                               "start_off", "lap_plain", "lap_crossed"})
        ok = write_picture(std::string("flaggers/") + sprite + ".png", sprite_picture(sprite)) && ok;
    // The waved yellow flag: two frames, a quarter second each, round and round.
    ok = write_bytes("flaggers/flag_yellow_waved.seq",
                     "ANIM1\n2 2 32 1\n0 1\nPNG @flaggers/flag_yellow.png\nPNG @flaggers/flag_yellow_waved.png\n") &&
         ok;
    ok = write_picture("statues/sign.png", sign_picture(sign_map::colour)) && ok;
    ok = write_picture("statues/sign_norm.png", sign_picture(sign_map::normal)) && ok;
    ok = write_picture("statues/sign_spec.png", sign_picture(sign_map::specular)) && ok;
    ok = write_picture("statues/hay.png", object_texture("hay")) && ok;
    ok = write_bytes("startgate.ppm", ppm_bytes(object_texture("startgate"))) && ok;
    return write_picture("roost.png", roost_picture()) && ok;
}

// The default sky, lit from the sample's sun, and the lens-flare sprites.
bool write_skies(const float sun[3])
{
    bool ok = true;
    const char* const faces[5] = {"sky-n.ppm", "sky-e.ppm", "sky-s.ppm", "sky-w.ppm", "sky-u.ppm"};
    for (int f = 0; f < 5; ++f)
        ok = write_bytes(faces[f], ppm_bytes(sky_face(f, sun))) && ok;
    ok = write_bytes("sky-env.ppm", ppm_bytes(sky_env(sun))) && ok;
    for (const char* sprite : {"disc", "ring", "hexagon"})
        ok = write_picture(std::string("flares/") + sprite + ".png", flare_sprite(sprite)) && ok;
    return ok;
}

bool write_objects(const std::string& description, const std::string& folder)
{
    std::string error;
    return write_track_objects(description, (fs::path(out_folder) / folder).string(), &error) || fail(error);
}

// Dirt digs and sprays, packed dirt grips and wears slowly, grass is slippery and
// throws green.
const char* const kTileinfo =
    "name dirt\n"
    "texture @tiles/dirt.png\n"
    "friction 1.05 1\n"
    "friction 0.95 60\n"
    "slip_function 0\n"
    "roll_resist 6 18 1\n"
    "roost count=12 dig=1.2 r=120 g=88 b=60 size=0.3\n"
    "roost splash=0 count=4 size=0.6 grow=2 r=100 g=74 b=50 fade_a=-300\n"
    "erode_depth 1.2\n"
    "erode_radius 4\n"
    "erode_limit 0 1 1\n"
    "erode_limit 1.5 0.5 0.8\n"
    "addtile\n"
    "name packed dirt\n"
    "texture @tiles/packed_dirt.png\n"
    "friction 1.15 1\n"
    "friction 1.05 60\n"
    "slip_function 0\n"
    "roll_resist 5 15 1\n"
    "roost count=8 dig=0.7 r=104 g=76 b=52 size=0.25\n"
    "erode_depth 0.6\n"
    "erode_radius 3\n"
    "addtile\n"
    "name grass\n"
    "texture @tiles/grass.png\n"
    "friction 0.85 1\n"
    "friction 0.7 60\n"
    "slip_function 1\n"
    "roll_resist 7 22 1\n"
    "roost count=6 dig=0.5 r=80 g=120 b=50 size=0.2\n"
    "erode_depth 0.4\n"
    "addtile\n";

const char* const kLighting =
    "sun_vector [ %g %g %g ]\n"
    "sun_color [ 1.0 0.96 0.88 ]\n"
    "ambient [ 0.46 0.48 0.54 ]\n"
    "global_ambient [ 0.2 0.2 0.22 ]\n"
    "fog [ 0.72 0.8 0.88 ] 0.0004\n"
    "near_plane 0.25\n"
    "far_plane 5000\n"
    "flare_element [ 0 1 ] [ 1 0.95 0.85 ] 0.35 @flares/disc.png\n"
    "flare_element [ 0 0.55 ] [ 0.6 0.8 1 ] 0.12 @flares/ring.png\n"
    "flare_element [ 0 0.2 ] [ 1 0.7 0.4 ] 0.06 @flares/hexagon.png\n"
    "flare_element [ 0 -0.35 ] [ 0.5 1 0.6 ] 0.1 @flares/hexagon.png\n"
    "flare_element [ 0 -0.8 ] [ 0.8 0.5 1 ] 0.2 @flares/ring.png\n"
    "flare_vector [ %g %g %g ]\n";

// The decal lines: each at its control point, turned so its width runs along the
// track there.
std::string decal_lines(const course& c, const std::vector<centre_sample>& line)
{
    std::string out;
    for (const course_decal& d : c.decals) {
        const control_point& p = c.points[size_t(d.point)];
        const centre_sample* best = &line.front();
        for (const centre_sample& s : line)
            if (std::hypot(s.x - p.x, s.z - p.z) < std::hypot(best->x - p.x, best->z - p.z))
                best = &s;
        const float angle = std::atan2(-best->tz, best->tx);
        char text[256];
        snprintf(text, sizeof text, "[%f %f] %f %f %f @decals/%s.png\n", double(best->x), double(best->z),
                 double(angle), double(d.across), double(d.along / d.across), d.texture.c_str());
        out += text;
    }
    return out;
}

// The editor's gradients for the sample track: one along the first tabletop's
// take-off with straight segments, one across the first hill with curved ones.
std::string edinfo_lines(const course& c)
{
    std::string text;
    char line[160];
    for (size_t i = 1; i < c.points.size(); ++i) {
        const control_point& a = c.points[i - 1];
        const control_point& b = c.points[i];
        if (b.kind != feature::table)
            continue;
        const float length = std::hypot(b.x - a.x, b.z - a.z);
        snprintf(line, sizeof line, "add_gradient %f %f %f %f\n", double(a.x), double(a.z), double(b.x), double(b.z));
        text += line;
        const float profile[4][2] = {{0, 0}, {length * 0.5f, 0}, {length * 0.8f, b.amount}, {length, b.amount}};
        for (const auto& p : profile) {
            snprintf(line, sizeof line, "add_point 0 %f %f\n", double(p[0]), double(p[1]));
            text += line;
        }
        break;
    }
    if (!c.hills.empty()) {
        const hill& h = c.hills.front();
        snprintf(line, sizeof line, "add_gradient %f %f %f %f\n", double(h.x - h.radius), double(h.z),
                 double(h.x + h.radius), double(h.z));
        text += line;
        const float profile[3][2] = {{0, 0}, {h.radius, h.height}, {2 * h.radius, 0}};
        for (const auto& p : profile) {
            snprintf(line, sizeof line, "add_point 1 %f %f\n", double(p[0]), double(p[1]));
            text += line;
        }
    }
    return text;
}

constexpr int kMapSide = 256;
constexpr float kLeastBorderMargin = 150.0f;   // feet

bool write_sample(const std::string& data)
{
    course c;
    std::string error;
    if (!read_course(data + "/sample/course.txt", &c, &error))
        return fail(error);
    const std::vector<centre_sample> line = sample_centreline(c, c.cell);
    const ground g = build_ground(c, line);
    // A rider who misses a turn must find ground, and the wall at the border, first.
    const float margin = distance_to_border(line, float(g.size - 1) * g.cell);
    printf("make_tracks: the sample track's edge comes %.1f ft from the ground's border\n", double(margin));
    if (margin < kLeastBorderMargin)
        return fail("the sample track comes nearer than 150 ft to the ground's border");

    // The heights go through the program's own writer: "terrain.png" and the header.
    terrain_state* t = new terrain_state;
    terrain_init(t);
    const auto [low, high] = std::minmax_element(g.heights.begin(), g.heights.end());
    bool ok = terrain_alloc(t, c.n, c.cell, *low, *high) == 1;
    if (ok) {
        std::copy(g.heights.begin(), g.heights.end(), t->heights);
        ok = terrain_write_heights(t, "tracks/sample") == 1 || fail("cannot write the sample track's heights");
    }
    terrain_free(t);
    delete t;

    const std::vector<uint8_t> lit = ground_shadows(g, c.sun);
    const std::string header = "P5\n" + std::to_string(g.size) + " " + std::to_string(g.size) + "\n255\n";
    ok = write_gzip("tracks/sample/shadows.pgm", header + std::string(lit.begin(), lit.end())) && ok;
    ok = write_picture("tracks/sample/map.png", map_picture(g, lit, line, kMapSide)) && ok;
    ok = write_gzip("tracks/sample/tilemap", std::string(g.tiles.begin(), g.tiles.end())) && ok;
    ok = write_bytes("tracks/sample/tileinfo", kTileinfo) && ok;
    ok = write_bytes("tracks/sample/decals", decal_lines(c, line)) && ok;
    ok = write_bytes("tracks/sample/desc", c.title + "\n") && ok;
    ok = write_bytes("tracks/sample/edinfo", edinfo_lines(c)) && ok;
    char lighting[1024];
    const float* s = c.sun;
    snprintf(lighting, sizeof lighting, kLighting, double(s[0]), double(s[1]), double(s[2]), double(s[0]),
             double(s[1]), double(s[2]));
    ok = write_skies(s) && ok;
    return write_bytes("tracks/sample/lighting", lighting) && ok;
}

// The sample track's lines files: for each skill three riders keep to the centreline
// and 2.5 ft to either side of it, slower or faster, from the start slots' middle
// through four laps; their rides fill the tables that the track's timing gates
// (the ones in memory) make, which the program's writer then saves. Without timing
// gates there are none.
bool write_sample_lines(const std::string& data)
{
    course c;
    std::string error;
    if (!read_course(data + "/sample/course.txt", &c, &error))
        return fail(error);
    lines_course lc;
    lc.centreline = sample_centreline(c, c.cell);
    const ground g = build_ground(c, lc.centreline);
    lc.ground = [&g](float x, float z) {
        const float fx = std::clamp(x / g.cell, 0.0f, float(g.size - 1)), fz = std::clamp(z / g.cell, 0.0f, float(g.size - 1));
        const int i = std::min(int(fx), g.size - 2), j = std::min(int(fz), g.size - 2);
        const float u = fx - float(i), w = fz - float(j);
        auto h = [&](int a, int b) { return g.heights[size_t(a) + size_t(g.size) * size_t(b)]; };
        return (h(i, j) * (1 - u) + h(i + 1, j) * u) * (1 - w) + (h(i, j + 1) * (1 - u) + h(i + 1, j + 1) * u) * w;
    };

    const timing_gates_state& gates = timing_gates;
    if (!ai_lines_resize(gates.firstlap_counted, gates.normallap_counted) || gates.start_slot_count < 1)
        return true;
    float sx = 0, sz = 0;
    for (int i = 0; i < gates.start_slot_count; ++i) {
        sx += gates.start_slot_position[i][0] / float(gates.start_slot_count);
        sz += gates.start_slot_position[i][2] / float(gates.start_slot_count);
    }
    lc.start_s = arclength_near(lc.centreline, sx, sz);
    lc.first_lap.assign(firstlap_entries(), firstlap_entries() + gates.firstlap_length);
    lc.normal_lap.assign(normallap_entries(), normallap_entries() + gates.normallap_length);
    for (const std::vector<int32_t>* list : {&lc.first_lap, &lc.normal_lap})
        for (int32_t entry : *list) {
            const timing_gate& gate = gates.checkpoints[entry % kFlaggedLapEntry];
            lc.position_s.push_back(arclength_near(lc.centreline, gate.x, gate.z));
        }

    const lines_rider riders[3][3] = {
        {{34, 10, 0, 0}, {32, 10, 2.5f, 2.5f}, {32, 10, -2.5f, -2.5f}},
        {{44, 14, 0, 0}, {42, 14, 2.5f, 2.5f}, {42, 14, -2.5f, -2.5f}},
        {{54, 18, 0, 0}, {52, 18, 2.5f, 2.5f}, {52, 18, -2.5f, -2.5f}},
    };
    // Every start slot gets a line that leaves from it: a bike at the side of the gate
    // has no line to join a few feet ahead of it in the middle of the straight.
    std::vector<float> slot_lanes;
    const centre_sample& at_start = lc.centreline[size_t(
        std::min_element(lc.centreline.begin(), lc.centreline.end(),
                         [&](const centre_sample& a, const centre_sample& b) {
                             return std::fabs(a.s - lc.start_s) < std::fabs(b.s - lc.start_s);
                         }) -
        lc.centreline.begin())];
    for (int i = 0; i < gates.start_slot_count; ++i)
        slot_lanes.push_back((gates.start_slot_position[i][0] - at_start.x) * at_start.nx +
                             (gates.start_slot_position[i][2] - at_start.z) * at_start.nz);
    ai_lines_learning = 1;
    bool ok = true;
    for (int skill = 0; skill < 3; ++skill) {
        ai_lines_clear();
        for (const lines_rider& r : riders[skill])
            ride_racing_line(lc, r);
        for (float slot_lane : slot_lanes) {
            // It merges into the nearest lane, so that past the start it rides that
            // lane's line exactly (which the tables then turn down as a duplicate).
            lines_rider r = riders[skill][0];
            for (const lines_rider& other : riders[skill])
                if (std::fabs(other.lane - slot_lane) < std::fabs(r.lane - slot_lane))
                    r = other;
            r.start_lane = slot_lane;
            ride_racing_line(lc, r);
        }
        ok = ai_lines_write("tracks/sample", ai_lines_file_name(skill)) == 1 && ok;
    }
    ai_lines_free();
    return ok || fail("cannot write the sample track's racing lines");
}

// 65 x 65 points two feet apart, all at height 0, samples inline; dirt on the low-x
// half and grass on the other, so a test can tell them apart.
bool write_flat()
{
    const int n = 5, side = (1 << (n + 1)) + 1, tiles = 1 << n;
    std::string heights = "5 2.000000 0.000000 0.000000\n:";
    heights.append(size_t(side) * side * 2, '\0');
    std::string map(size_t(tiles) * tiles, '\0');
    for (int r = 0; r < tiles; ++r)
        for (int col = tiles / 2; col < tiles; ++col)
            map[size_t(r) * tiles + col] = 1;
    bool ok = write_bytes("tracks/flat/terrain.hf", heights);
    ok = write_bytes("tracks/flat/tilemap", map) && ok;
    ok = write_bytes("tracks/flat/tileinfo",
                     "name dirt\ntexture @tiles/dirt.png\naddtile\nname grass\ntexture @tiles/grass.png\n"
                     "friction 0.8 1\naddtile\n") &&
         ok;
    ground g;
    g.size = side;
    g.cell = 2;
    g.tiles_side = tiles;
    for (char tile : map)
        g.tiles.push_back(tile ? tile_grass : tile_dirt);
    ok = write_picture("tracks/flat/map.png", map_picture_plain(g, 64)) && ok;
    // Without a "lighting" file no sky is loaded and it stays black: the sample's sky.
    ok = write_bytes("tracks/flat/lighting", "sky_n @sky-n.ppm\nsky_e @sky-e.ppm\nsky_s @sky-s.ppm\n"
                                              "sky_w @sky-w.ppm\nsky_u @sky-u.ppm\nsky_env @sky-env.ppm\n") &&
         ok;
    return write_bytes("tracks/flat/desc", "Flat Test Ground\n") && ok;
}

// The sample's own script, from <data>/sample/nofrills.js with the positions it needs
// written in front (after the objects, whose start slots it reads), and its files:
// shared data, which a copy of the track under another name finds too.
bool write_sample_script(const std::string& data)
{
    course c;
    std::string error;
    if (!read_course(data + "/sample/course.txt", &c, &error))
        return fail(error);
    std::ifstream in(data + "/sample/nofrills.js", std::ios::binary);
    if (!in.is_open())
        return fail("cannot read the sample track's script");
    const std::string script((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    bool ok = write_bytes("tracks/sample/nofrills.js",
                          sample_script_positions(c, sample_centreline(c, c.cell)) + script);
    ok = write_picture("statues/marshal.png", marshal_picture()) && ok;
    ok = write_picture("statues/sponsor.png", sponsor_picture()) && ok;
    ok = write_picture("billboards/lamp.png", lamp_picture()) && ok;
    return write_bytes("sounds/horn.raw", horn_bytes()) && ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: make_tracks <data/tracks folder> <output folder>\n");
        return 2;
    }
    out_folder = fs::absolute(argv[2]).string();
    // The terrain writer writes into the user folder only: make that the output, reached
    // through a link of a scratch data home.
    const fs::path home = fs::temp_directory_path() / ("make_tracks-" + std::to_string(getpid()));
    fs::remove_all(home);
    fs::create_directories(home);
    fs::create_directory_symlink(out_folder, home / "Brovanta");
    setenv("XDG_DATA_HOME", home.c_str(), 1);
    setenv("BV_HOME", out_folder.c_str(), 1);
    fs::remove_all(fs::path(out_folder) / "tracks/sample");
    fs::remove_all(fs::path(out_folder) / "tracks/flat");
    fs::create_directories(fs::path(out_folder) / "tracks/sample");

    bool ok = write_pictures();
    ok = write_sample(argv[1]) && ok;
    ok = write_flat() && ok;
    ok = write_objects(std::string(argv[1]) + "/sample/objects.txt", "tracks/sample") && ok;
    // The lines follow the sample's timing gates, as write_objects has just laid them out.
    ok = write_sample_lines(argv[1]) && ok;
    ok = write_sample_script(argv[1]) && ok;
    ok = write_objects(std::string(argv[1]) + "/flat/objects.txt", "tracks/flat") && ok;
    fs::remove_all(home);
    return ok ? 0 : 1;
}
