// Start-up's audio step and its counterpart at shutdown.
#include "race/program/audio_start.h"

#include "foundation/vfs/vfs.h"
#include "foundation/door/whole_file.h"
#include "platform/qorl_audio.h"
#include "platform/qorl_log.h"
#include "race/program/startup.h"

#include <cstdio>
#include <string>

static_assert(record_audio_block == static_cast<int>(tick_length * record_audio_rate));

qorl_audio* audio_device = nullptr;
vfs_file* audio_record_file = nullptr;

namespace {

// The recording is a whole file: a full disk leaves no cut recording behind.
whole_file record_file;
bool record_failed = false;

void record_fail_line(const char* path)
{
    fprintf(stderr, "Can't write %s for --record-audio\n", path);
    qorl_log("Can't write %s for --record-audio\n", path);
}

void record_finish()
{
    audio_record_file = nullptr;
    if (!whole_file_close(&record_file, !record_failed))
        record_fail_line(record_file.target.c_str());
}

}  // namespace

void audio_record_block(const uint8_t* block)
{
    if (!audio_record_file || record_failed)
        return;
    const size_t bytes = size_t(record_audio_block) * 2;
    if (vfs_write(audio_record_file, block, bytes) != bytes)
        record_failed = true;
}

int audio_start(const audio_request& request, qorl_window* window)
{
    if (request.record_path) {
        record_failed = false;
        audio_record_file = whole_file_open(request.record_path, &record_file) ? record_file.f : nullptr;
        if (!audio_record_file) {
            fprintf(stderr, "Can't open %s for --record-audio\n", request.record_path);
            qorl_log("Can't open %s for --record-audio\n", request.record_path);
            return 0;
        }
        audio_device = qorl_audio_open_readback(window, record_audio_rate, record_audio_block);
        if (!audio_device) {
            audio_record_file = nullptr;
            whole_file_close(&record_file, false);
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
    if (audio_record_file)
        record_finish();
}
