// Start-up's audio step and its counterpart at shutdown.
#include "race/program/audio_start.h"

#include "foundation/vfs.h"
#include "platform/qorl_audio.h"
#include "platform/qorl_log.h"
#include "race/program/startup.h"

#include <cstdio>

static_assert(record_audio_block == static_cast<int>(tick_length * record_audio_rate));

qorl_audio* audio_device = nullptr;
vfs_file* audio_record_file = nullptr;

int audio_start(const audio_request& request, qorl_window* window)
{
    if (request.record_path) {
        audio_record_file = vfs_open(request.record_path, "wb");
        if (!audio_record_file) {
            fprintf(stderr, "Can't open %s for --record-audio\n", request.record_path);
            qorl_log("Can't open %s for --record-audio\n", request.record_path);
            return 0;
        }
        audio_device = qorl_audio_open_readback(window, record_audio_rate, record_audio_block);
        if (!audio_device) {
            vfs_close(audio_record_file);
            audio_record_file = nullptr;
        }
        return 1;
    }
    if (request.nosound)
        return 1;
    // No device only means silence.
    audio_device = qorl_audio_open(window);
    return 1;
}

void audio_stop()
{
    if (audio_device) {
        qorl_audio_close(audio_device);
        audio_device = nullptr;
    }
    if (audio_record_file) {
        vfs_close(audio_record_file);
        audio_record_file = nullptr;
    }
}
