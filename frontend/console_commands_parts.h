// The console commands, grouped by theme over a few files; console_execute matches
// the line against the table and calls one of these with the text after the word.
#pragma once
#include "foundation/front_door.h"

#include <cstdio>
#include <string>

namespace console_detail {

// Prints one formatted message line.
template <typename... A>
void say(const char* format, A... a)
{
    char buffer[1100];
    std::snprintf(buffer, sizeof buffer, format, a...);
    console_print(buffer);
}

// The text after leading white space.
const char* skip_blanks(const char* s);
// The name argument of the file commands: the rest of the line after white space, at
// most 1015 characters, without trailing white space (inner blanks stay).
std::string name_argument(const char* arg);
// 1 when a track is loaded; else "No track loaded".
bool track_loaded();
// The slot the view follows when it holds a rider, else -1 after "No rider is being
// watched".
int watched_rider();

// Files: the track's info, the frame times, setups and uploads.
void cmd_savetrackinfo(const char* arg);
void cmd_saveframetimes(const char* arg);
void cmd_readsetup(const char* arg);
void cmd_writesetup(const char* arg);
void cmd_sendfile(const char* arg);
void cmd_listfiles(const char* arg);

// The key camera and the watched rider's camera and pipe.
void cmd_pipe(const char* arg);
void cmd_camangle(const char* arg);
void cmd_addkey(const char* arg);
void cmd_deletekey(const char* arg);
void cmd_clearkeys(const char* arg);
void cmd_listkeys(const char* arg);
void cmd_readkeys(const char* arg);
void cmd_writekeys(const char* arg);

}  // namespace console_detail
