// "--glversion": the GL version and dialect that start-up asks the platform for.
#pragma once

struct gl_version_choice {
    int major = 3;
    int minor = 1;
    int profile = 1;  // 0 compatibility (any), 1 core, 2 ES
};

// Reads "major.minor" and an optional dialect word ("compatibility", "core", "es"), as
// "%d.%d%15s". Null value (the option given last, without one) is bad too. On failure
// returns 0 with the message for standard error.
int parse_glversion(const char* value, gl_version_choice* choice, const char** message);

// Finds "--glversion VALUE" or "--glversion=VALUE" among the arguments (none after "--");
// the last one given counts. 1, or 0 with the message for standard error.
int glversion_from_arguments(int argc, char** argv, gl_version_choice* choice,
                             const char** message);
