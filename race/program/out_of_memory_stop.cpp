#include "race/program/out_of_memory_stop.h"

#include "foundation/memory.h"
#include "platform/qorl_audio.h"
#include "platform/qorl_gl.h"
#include "race/program/audio_start.h"

namespace {

qorl_window* watched_window = nullptr;

// Each device is forgotten before it is closed: a failure inside a close must not
// close it twice.
void close_devices()
{
    if (qorl_audio* audio = audio_device) {
        audio_device = nullptr;
        qorl_audio_close(audio);
    }
    if (qorl_window* window = watched_window) {
        watched_window = nullptr;
        qorl_gl_close(window);
    }
}

}  // namespace

void install_out_of_memory_stop()
{
    set_out_of_memory_hook(close_devices);
}

void out_of_memory_watch(qorl_window* window)
{
    watched_window = window;
}
