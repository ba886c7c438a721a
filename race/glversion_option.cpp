#include "race/glversion_option.h"

#include "foundation/scan.h"

#include <cstring>

namespace {
constexpr char bad_argument[] = "bad arg for --glversion\n";
constexpr char option[] = "--glversion";
}  // namespace

int parse_glversion(const char* value, gl_version_choice* choice, const char** message)
{
    int major = 0, minor = 0;
    char dialect[16] = "";
    if (!value || scan_string(value, "%d.%d%15s", &major, &minor, dialect) < 2) {
        *message = bad_argument;
        return 0;
    }
    int profile = 0;
    if (dialect[0] == '\0' || strcmp(dialect, "compatibility") == 0) {
        profile = 0;
    } else if (strcmp(dialect, "core") == 0) {
        profile = 1;
    } else if (strcmp(dialect, "es") == 0) {
        profile = 2;
    } else {
        *message = "unknown OpenGL dialect for --glversion (must be 'compatibility', 'core' or 'es')\n";
        return 0;
    }
    choice->major = major;
    choice->minor = minor;
    choice->profile = profile;
    return 1;
}

int glversion_from_arguments(int argc, char** argv, gl_version_choice* choice,
                             const char** message)
{
    constexpr size_t length = sizeof option - 1;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (strcmp(argument, "--") == 0)
            break;
        if (strcmp(argument, option) == 0) {
            const char* value = i + 1 < argc ? argv[++i] : nullptr;
            if (!parse_glversion(value, choice, message))
                return 0;
        } else if (strncmp(argument, option, length) == 0 && argument[length] == '=') {
            if (!parse_glversion(argument + length + 1, choice, message))
                return 0;
        }
    }
    return 1;
}
