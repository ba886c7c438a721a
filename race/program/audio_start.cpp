// Start-up's audio step and its counterpart at shutdown.
#include "race/program/audio_start.h"

#include "foundation/data_paths.h"
#include "foundation/os_paths.h"
#include "foundation/vfs.h"
#include "platform/qorl_audio.h"
#include "platform/qorl_log.h"
#include "race/program/startup.h"

#include <cstdio>
#include <string>

static_assert(record_audio_block == static_cast<int>(tick_length * record_audio_rate));

qorl_audio* audio_device = nullptr;
vfs_file* audio_record_file = nullptr;

namespace {

// The recording goes to a temporary file beside its target and takes the target's name
// only when every block was written: a full disk leaves no cut recording behind.
std::string record_target;
std::string record_temporary;
bool record_failed = false;

void record_fail_line(const char* path)
{
    fprintf(stderr, "Can't write %s for --record-audio\n", path);
    qorl_log("Can't write %s for --record-audio\n", path);
}

// Closes the temporary file; on success it becomes the target.
void record_finish()
{
    bool ok = !record_failed && vfs_flush(audio_record_file) == 0 && !ferror(audio_record_file->file);
    vfs_close(audio_record_file);
    audio_record_file = nullptr;
    const bool in_place = record_temporary == record_target;
    ok = ok && (in_place || rename(record_temporary.c_str(), record_target.c_str()) == 0);
    if (!ok) {
        if (!in_place)
            remove(record_temporary.c_str());
        record_fail_line(record_target.c_str());
    }
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
        record_target = request.record_path;
        if (record_target[0] == '@') {
            const char* folder = data_search_dir(0);
            record_target = std::string(folder ? folder : "") + (request.record_path + 1);
        }
        // A device or pipe is written to as it is, never replaced by a renamed file.
        record_temporary = os_is_device_or_pipe(record_target.c_str())
                               ? record_target
                               : record_target + ".tmp-" + std::to_string(os_process_id());
        record_failed = false;
        audio_record_file = vfs_open(record_temporary.c_str(), "wb");
        if (!audio_record_file) {
            fprintf(stderr, "Can't open %s for --record-audio\n", request.record_path);
            qorl_log("Can't open %s for --record-audio\n", request.record_path);
            return 0;
        }
        audio_device = qorl_audio_open_readback(window, record_audio_rate, record_audio_block);
        if (!audio_device) {
            vfs_close(audio_record_file);
            audio_record_file = nullptr;
            if (record_temporary != record_target)
                remove(record_temporary.c_str());
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
