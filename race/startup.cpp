#include "race/startup.h"

#include "foundation/data_paths.h"
#include "foundation/file_index.h"
#include "foundation/intern.h"
#include "foundation/memory.h"
#include "frontend/message_line.h"
#include "platform/qorl_log.h"
#include "race/audio_start.h"
#include "race/base_digest.h"

#include <cstring>
#include <xmmintrin.h>

namespace {

// Denormals are flushed to zero for the whole run: the physics and the mixer produce
// them near rest and they cost hundreds of cycles each.
void runtime_setup()
{
    _mm_setcsr(_mm_getcsr() | 0x8040);  // flush-to-zero and denormals-are-zero
}

// Only the audio options for now: "--nosound", and "--record-audio <file>" or
// "--record-audio=<file>". The rest of the command line is left alone.
audio_request audio_options(int argc, char** argv)
{
    constexpr char record[] = "--record-audio";
    constexpr size_t record_length = sizeof record - 1;
    audio_request request;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (strcmp(arg, "--") == 0)
            break;
        if (strcmp(arg, "--nosound") == 0)
            request.nosound = true;
        else if (strcmp(arg, record) == 0 && i + 1 < argc)
            request.record_path = argv[++i];
        else if (strncmp(arg, record, record_length) == 0 && arg[record_length] == '=')
            request.record_path = arg + record_length + 1;
    }
    return request;
}

void shutdown_tail()
{
    vfs_shutdown();
    intern_free_all();
    qorl_log(nullptr);
    mem_report_leaks();
}

}  // namespace

int brovanta_main(int argc, char** argv)
{
    runtime_setup();

    if (argc == 2 && strcmp(argv[1], "--open-home") == 0) {
        open_user_folder();
        return 0;
    }

    file_index_set_spinner(loading_spinner);
    set_base_archive_digest(base_archive_digest);
    if (!startup_check_data()) {
        qorl_message_box("Problem starting Brovanta", "Can't find game data\n");
        // A start that cannot find its data has failed: say so in the exit status.
        shutdown_tail();
        return 1;
    }
    qorl_log("Brovanta version %s\n", build_string);
    audio_request audio = audio_options(argc, argv);

    if (!audio_start(audio, nullptr)) {
        shutdown_tail();
        return 1;
    }

    audio_stop();
    shutdown_tail();
    return 0;
}
