// Runs the program under the test's Xvfb and closes its window the way a window manager
// does (the close protocol), once the window is shown.
#pragma once
#include "support/test_support.h"

#include <string>
#include <vector>

struct _XDisplay;

namespace bvtest {

inline const std::string program_path = BV_BUILD_DIR "/brovanta";

// The program's environment for a test: its user data folder under home, the log in its
// default place, no options, and allocation tracking on so a leak shows on stderr.
inline std::vector<EnvChange> program_env(const TempDir& home)
{
    return {{"XDG_DATA_HOME", home / "xdg"}, {"HOME", home.path()}, {"QORL_LOGFILE", "", true},
            {"QORL_LOGFILE_FLAGS", "", true}, {"QORL_OPTIONS", "", true}, {"BV_HOME", "", true},
            {"BV_CHECK_ALLOC", "1"}};
}

inline std::string program_log(const TempDir& home)
{
    return read_file(home / "xdg/Brovanta/lastlog.txt");
}

inline bool has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

struct WindowedRun {
    ProcessResult result;
    bool window_seen = false;  // a window titled "Brovanta" appeared and was asked to close
};

// Asks the window to close as a window manager does (WM_DELETE_WINDOW).
// (Display and Window of Xlib, named without its header: its macros clash with the
// test framework's.)
void send_close(_XDisplay* display, unsigned long window);

WindowedRun run_and_close_window(const std::vector<std::string>& argv,
                                 const std::vector<EnvChange>& env, int timeout_seconds = 240);

}  // namespace bvtest
