// The kept settings as the race core's start-up and shutdown reach them: the front end
// installs these at start-up; until then they do nothing.
#pragma once

struct settings_hooks_table {
    // The front end's start values (the default bike, the video-mode list), then "@config".
    void (*read)();
    // The values made from the settings (detail levels, roost, the local rider's profile).
    void (*derive)();
    // Once the data-file index stands: the texture lists and the track list, each
    // selected by the name kept from "@config".
    void (*lists_build)();
    // Shutdown: "@config" written, then the lists freed.
    void (*write)();
    void (*lists_free)();
};

extern settings_hooks_table settings_hooks;
