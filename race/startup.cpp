#include "race/startup.h"

#include "foundation/data_paths.h"
#include "foundation/file_index.h"
#include "foundation/intern.h"
#include "foundation/memory.h"
#include "frontend/message_line.h"
#include "platform/qorl_log.h"
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

    shutdown_tail();
    return 0;
}
