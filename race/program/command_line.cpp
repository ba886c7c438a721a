#include "race/program/command_line.h"

#include "foundation/text/scan.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

command_line command_line_options;

namespace {

struct parse_state {
    command_line& out;
    std::vector<std::string>& lines;
};

// Converts and stores one option's value (null when the option came last without
// one); false when it does not convert. *message starts as the option's own message
// and may be replaced by a more precise one.
using option_apply = bool (*)(parse_state& state, const char* value, const char** message);

struct option_entry {
    const char* name;
    bool takes_value;
    const char* message;   // for a bad or missing value; null: the setting stays unchanged
    option_apply apply;
};

int clamp_int(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

bool scan_int(const char* value, int* out)
{
    return value && scan_string(value, "%d", out) == 1;
}

// A real that scans to infinity does not count: it would stop simulated time or
// spread through every distance.
bool scan_real(const char* value, float* out)
{
    float v = 0;
    if (!value || scan_string(value, "%f", &v) != 1 || !std::isfinite(v))
        return false;
    *out = v;
    return true;
}

// Leading white space, an optional sign and digits; 0 without digits. Saturates at
// the ends of the int range.
int plain_int(const char* value)
{
    while (isspace(static_cast<unsigned char>(*value)))
        ++value;
    const bool negative = *value == '-';
    if (*value == '-' || *value == '+')
        ++value;
    int64_t v = 0;
    for (; isdigit(static_cast<unsigned char>(*value)); ++value)
        v = std::min<int64_t>(v * 10 + (*value - '0'), int64_t(INT32_MAX) + 1);
    return int(std::min<int64_t>(negative ? -v : v, INT32_MAX));
}

template <std::optional<int> command_line::*field>
bool plain(parse_state& s, const char* value, const char**)
{
    if (!value)
        return false;
    s.out.*field = plain_int(value);
    return true;
}

template <std::optional<int> command_line::*field, int lo, int hi>
bool clamped(parse_state& s, const char* value, const char**)
{
    int v = 0;
    if (!scan_int(value, &v))
        return false;
    s.out.*field = clamp_int(v, lo, hi);
    return true;
}

// "%d" with no limits of its own.
template <std::optional<int> command_line::*field>
constexpr option_apply whole = clamped<field, INT32_MIN, INT32_MAX>;

template <std::optional<float> command_line::*field>
bool real(parse_state& s, const char* value, const char**)
{
    float v = 0;
    if (!scan_real(value, &v))
        return false;
    s.out.*field = v;
    return true;
}

template <std::optional<std::string> command_line::*field>
bool text(parse_state& s, const char* value, const char**)
{
    if (!value)
        return false;
    s.out.*field = value;
    return true;
}

template <bool command_line::*field>
bool flag(parse_state& s, const char*, const char**)
{
    s.out.*field = true;
    return true;
}

bool no_effect(parse_state&, const char*, const char**)
{
    return true;
}

bool texture_detail_option(parse_state& s, const char* value, const char**)
{
    int v = 0;
    if (!scan_int(value, &v))
        return false;
    s.out.model_texture_drop = s.out.ground_texture_drop = clamp_int(v, 0, 4);
    return true;
}

// A frame rate a player can wait through: below one frame a second the window would
// sit still for minutes between frames. No upper end: a fast rate only stops the wait
// sleeping, and slow-motion captures ask for thousands.
bool lock_fps_option(parse_state& s, const char* value, const char**)
{
    float v = 0;
    if (!scan_real(value, &v))
        return false;
    if (v > 0 && v < kLockFpsLowest) {
        char line[96];
        snprintf(line, sizeof line, "--lock-fps %g is out of range: using %g\n", double(v), double(kLockFpsLowest));
        s.lines.emplace_back(line);
        v = kLockFpsLowest;
    }
    s.out.lock_fps = v;
    return true;
}

// 0 leaves the terrain's detail alone; a negative distance means nothing.
bool distance_option(parse_state& s, const char* value, const char**)
{
    float v = 0;
    if (!scan_real(value, &v) || v < 0)
        return false;
    s.out.max_detail_distance = v;
    return true;
}

bool erode_option(parse_state& s, const char* value, const char**)
{
    float v = 0;
    if (!scan_real(value, &v))
        return false;
    v = v < 0 ? 0 : v > 100 ? 100 : v;
    s.out.erode = int(std::floor(double(v) * 1024));
    return true;
}

bool lod_scale_option(parse_state& s, const char* value, const char**)
{
    float v = 0;
    if (!scan_real(value, &v))
        return false;
    s.out.lod_scale = v < 1e-6f ? 1e-6f : v > 1e6f ? 1e6f : v;
    return true;
}

bool fake_lag_option(parse_state& s, const char* value, const char**)
{
    float v = 0;
    if (!scan_real(value, &v))
        return false;
    const double seconds = v * 0.001;
    s.out.fake_lag = seconds < 0 ? 0 : seconds > 1 ? 1 : seconds;
    return true;
}

bool chase_center_option(parse_state& s, const char* value, const char**)
{
    std::array<float, 3> v{};
    if (!value || scan_string(value, "%f,%f,%f", &v[0], &v[1], &v[2]) != 3)
        return false;
    for (float c : v)
        if (!std::isfinite(c))
            return false;
    s.out.chase_center = v;
    return true;
}

bool bikes_option(parse_state& s, const char*, const char**)
{
    s.lines.emplace_back("--bikes doesn't do anything anymore\n");
    return true;
}

// A leading "brovanta:" is dropped; the server field holds at most 127 characters.
bool connect_option(parse_state& s, const char* value, const char**)
{
    constexpr char scheme[] = "brovanta:";
    if (!value)
        return false;
    if (strncmp(value, scheme, sizeof scheme - 1) == 0)
        value += sizeof scheme - 1;
    s.out.connect = std::string(value, strnlen(value, 127));
    return true;
}

// "%d.%d%15s": the version, then an optional dialect word (white space may come
// between).
bool glversion_option(parse_state& s, const char* value, const char** message)
{
    gl_version_choice choice;
    char dialect[16] = "";
    if (!value || scan_string(value, "%d.%d%15s", &choice.major, &choice.minor, dialect) < 2)
        return false;
    if (dialect[0] == '\0' || strcmp(dialect, "compatibility") == 0) {
        choice.profile = 0;
    } else if (strcmp(dialect, "core") == 0) {
        choice.profile = 1;
    } else if (strcmp(dialect, "es") == 0) {
        choice.profile = 2;
    } else {
        *message = "unknown OpenGL dialect for --glversion (must be 'compatibility', 'core' or 'es')\n";
        return false;
    }
    s.out.glversion = choice;
    return true;
}

bool learn(parse_state& s, const char*, const char**) { return s.out.learning = 1, true; }
bool nolearn(parse_state& s, const char*, const char**) { return s.out.learning = 0, true; }
bool debug(parse_state& s, const char*, const char**) { return s.out.verbose_level = 1, true; }
bool super_debug(parse_state& s, const char*, const char**) { return s.out.verbose_level = 2, true; }

constexpr const char* kOpenHome = "--open-home";
constexpr const char* kRecordAudio = "--record-audio";

// Tried in this order; the first that matches takes the argument.
const option_entry options[] = {
    {"--fugly", false, nullptr, flag<&command_line::fugly>},
    {"--nosound", false, nullptr, flag<&command_line::nosound>},
    {"--novertexarrays", false, nullptr, no_effect},
    {"--learn", false, nullptr, learn},
    {"--nolearn", false, nullptr, nolearn},
    {"--nommx", false, nullptr, no_effect},
    {"--debug", false, nullptr, debug},
    {"--super-debug", false, nullptr, super_debug},
    {"--practice", false, nullptr, flag<&command_line::practice>},
    {"--warp", false, nullptr, flag<&command_line::warp>},
    {"--texture-detail", true, "Bad arg for --texture-detail\n", texture_detail_option},
    {"--ground-texture-detail", true, "Bad arg for --ground-texture-detail\n",
     clamped<&command_line::ground_texture_drop, 0, 4>},
    {"--roostfrequency", true, "Bad arg for --roostfrequency\n", clamped<&command_line::roost_density, 0, 1000>},
    {"--erode", true, "Bad arg for --erode\n", erode_option},
    {"--detail", true, "Bad arg for --detail\n", real<&command_line::terrain_error_scale>},
    {"--max-detail-distance", true, "Bad arg for --max-detail-distance\n", distance_option},
    {"--lod-scale", true, "Bad arg for --lod-scale\n", lod_scale_option},
    {"--lod-bias", true, "Bad arg for --lod-bias\n", real<&command_line::lod_bias>},
    {"--lock-fps", true, "Bad arg for --lock-fps\n", lock_fps_option},
    {"--fake-lag", true, "Bad arg for --fake-lag\n", fake_lag_option},
    {"--fake-loss", true, "Bad arg for --fake-loss\n", clamped<&command_line::fake_loss, 0, 100>},
    {kRecordAudio, true, nullptr, text<&command_line::record_audio>},
    {"--record-video", false, nullptr, flag<&command_line::record_video>},
    {"--rotate-lineup", true, nullptr, whole<&command_line::rotate_lineup>},
    {"--editor", false, nullptr, flag<&command_line::editor>},
    {"--hidden-pause", false, nullptr, flag<&command_line::hidden_pause>},
    {"--hidden-hud", false, nullptr, flag<&command_line::hidden_hud>},
    {"--bikes", true, nullptr, bikes_option},
    {"--width", true, nullptr, whole<&command_line::width>},
    {"--height", true, nullptr, whole<&command_line::height>},
    {"--depth", true, nullptr, plain<&command_line::depth>},
    {"--zdepth", true, nullptr, plain<&command_line::zdepth>},
    {"--draw-fps", true, nullptr, plain<&command_line::draw_fps>},
    {"--draw-time", true, nullptr, plain<&command_line::draw_time>},
    {"--draw-ping", true, nullptr, plain<&command_line::draw_ping>},
    {"--draw-speed", true, nullptr, plain<&command_line::draw_speed>},
    {"--draw-render-stats", true, nullptr, plain<&command_line::draw_render_stats>},
    {"--accurate-skip", false, nullptr, flag<&command_line::accurate_skip>},
    {"--track", true, nullptr, text<&command_line::track>},
    {"--connect", true, nullptr, connect_option},
    {"--password", true, nullptr, text<&command_line::password>},
    {"--chase-center", true, "Bad arg for --chase-center\n", chase_center_option},
    {kOpenHome, false, nullptr, no_effect},
    {"--glfinish", false, nullptr, flag<&command_line::glfinish>},
    {"--glversion", true, "bad arg for --glversion\n", glversion_option},
    {"--print-orientation", false, nullptr, flag<&command_line::print_orientation>},
};
static_assert(sizeof options / sizeof options[0] == 46);

// The value of a value option given as "--x=value", or null when arg is not that.
const char* inline_value(const char* arg, const char* name)
{
    const size_t length = strlen(name);
    return strncmp(arg, name, length) == 0 && arg[length] == '=' ? arg + length + 1 : nullptr;
}

}  // namespace

command_line_result parse_command_line(int argc, const char* const* argv)
{
    command_line_result result;
    parse_state state{result.settings, result.lines};
    bool end_of_options = false;
    auto fail = [&](std::string line) {
        result.lines.push_back(std::move(line));
        result.outcome = command_line_outcome::fail;
    };
    for (int i = 1; i < argc && result.outcome == command_line_outcome::go_on;) {
        const char* arg = argv[i++];
        if (!end_of_options && strcmp(arg, "--") == 0) {
            end_of_options = true;
            continue;
        }
        const option_entry* match = nullptr;
        const char* value = nullptr;
        for (const option_entry& entry : options) {
            if (end_of_options)
                break;   // every argument is a file name now
            if (strcmp(arg, entry.name) == 0) {
                match = &entry;
                // A recording file never begins with "--": that is the next option,
                // given after a forgotten file name.
                const bool dash_value = entry.name == kRecordAudio && i < argc && strncmp(argv[i], "--", 2) == 0;
                if (entry.takes_value && i < argc && !dash_value)
                    value = argv[i++];
                break;
            }
            if (entry.takes_value && (value = inline_value(arg, entry.name))) {
                match = &entry;
                break;
            }
        }
        if (match) {
            if (match->name == kOpenHome) {
                result.outcome = command_line_outcome::open_home;
                break;
            }
            const char* message = match->message;
            if (!match->apply(state, value, &message) && message)
                fail(message);
            continue;
        }
        if (end_of_options || arg[0] != '-') {
            if (result.settings.demo_file)
                fail("Too many files!\n");
            else
                result.settings.demo_file = arg;
            continue;
        }
        fail(std::string("bad option '") + arg + "'\n");
    }
    // The server chooses the track.
    if (result.settings.connect)
        result.settings.track = std::string();
    return result;
}
