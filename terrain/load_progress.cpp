#include "terrain/load_progress.h"

#include "platform/qorl_log.h"

void terrain_progress_begin(const char* message)
{
    qorl_log("%.64s\n", message);
}

void terrain_progress_step(const char*) {}

void terrain_progress_end(const char* message)
{
    qorl_log("%.64s...done\n", message);
}
