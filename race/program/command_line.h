// The program's command line: options of two dashes and a name, some with a value
// ("--x value" or "--x=value"), "--" ending the options, and at most one bare
// argument naming a demo to play. The parser only reads: it returns what was set,
// how the run goes on and the lines for standard error, in order. Each field is
// empty unless its option was given, so applying the record overrides only what
// the command line set.
#pragma once
#include <array>
#include <optional>
#include <string>
#include <vector>

// The GL version and dialect to ask the platform for; without "--glversion", 3.1 core.
struct gl_version_choice {
    int major = 3;
    int minor = 1;
    int profile = 1;  // 0 compatibility (any), 1 core, 2 ES
};

// The slowest frame rate "--lock-fps" may pace to; a slower one is brought up to it.
inline constexpr float kLockFpsLowest = 1;

struct command_line {
    // Flags.
    bool fugly = false;               // the world renderer clears instead of drawing the sky
    bool nosound = false;
    bool practice = false;
    bool warp = false;
    bool record_video = false;
    bool editor = false;
    bool hidden_pause = false;
    bool hidden_hud = false;
    bool accurate_skip = false;
    bool glfinish = false;
    bool print_orientation = false;
    std::optional<int> learning;      // "--learn" 1, "--nolearn" 0
    std::optional<int> verbose_level; // "--debug" 1, "--super-debug" 2

    // Values, already clamped and converted.
    std::optional<int> model_texture_drop;       // 0..4
    std::optional<int> ground_texture_drop;      // 0..4
    std::optional<int> roost_density;            // 0..1000
    std::optional<int> erode;                    // 1/1024 units
    std::optional<float> terrain_error_scale;    // "--detail"
    std::optional<float> max_detail_distance;    // the second distance is this + 5
    std::optional<float> lod_scale;
    std::optional<float> lod_bias;
    std::optional<float> lock_fps;               // 0 or less: off, else at least kLockFpsLowest
    std::optional<double> fake_lag;              // seconds, 0..1
    std::optional<int> fake_loss;                // percent
    std::optional<std::string> record_audio;
    std::optional<int> rotate_lineup;
    std::optional<int> width;
    std::optional<int> height;
    std::optional<int> depth;                    // colour bits
    std::optional<int> zdepth;                   // depth-buffer bits
    std::optional<int> draw_fps;
    std::optional<int> draw_time;
    std::optional<int> draw_ping;
    std::optional<int> draw_speed;
    std::optional<int> draw_render_stats;
    std::optional<std::string> track;            // empty: none (a connect clears it)
    std::optional<std::string> connect;          // at most 127 characters
    std::optional<std::string> password;
    std::optional<std::array<float, 3>> chase_center;
    std::optional<gl_version_choice> glversion;
    std::optional<std::string> demo_file;
};

enum class command_line_outcome {
    go_on,
    open_home,   // open the user folder and end with status 0
    fail,        // end with status 1
};

struct command_line_result {
    command_line settings;
    command_line_outcome outcome = command_line_outcome::go_on;
    std::vector<std::string> lines;   // for standard error, each ending in "\n"
};

// Argument 0 (the program) is skipped. The first "--open-home", bad option or
// second bare argument ends the parse.
command_line_result parse_command_line(int argc, const char* const* argv);

// The command line start-up parsed, for the parts that read its settings later.
extern command_line command_line_options;

// Sets the program's settings that the command line overrides: the diagnostic level,
// racing-line learning, the model and ground texture reductions, terrain error, the most
// detailed distances, model level-of-detail scale and bias, roost density, the HUD's
// draw_* switches, editor mode, erosion, and the server field and its history. Start-up
// applies it after the settings' derivation, which leaves it alone from then on. The
// window, GL version and audio are read by start-up, the render statistics by the
// front end.
void command_line_apply(const command_line& settings);
