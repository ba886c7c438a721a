// An allocation that fails for good while the program runs: the sound device and the
// window are closed before the message, and the run ends with status 1.
#include "foundation/memory.h"
#include "frontend/front_end.h"
#include "platform/alsa_pcm.h"
#include "platform/audio_drivers.h"
#include "race/program/startup.h"
#include "support/test_support.h"
#include "support/xvfb_server.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

namespace {

// Once the sound device is open (the window is too by then), the next allocation fails
// where its caller cannot go on, as in xmalloc.
void* die_once_sound_is_open(size_t size)
{
    if (qorl_audio_current_driver())
        out_of_memory();
    return malloc(size);
}

// The program's run up to its first failed allocation; it must never come back.
void run_until_memory_fails()
{
    alarm(240);  // a run that goes on would wait for its window to be closed
    // The run ends in exit(), past every destructor: the user folder goes at exit.
    static auto* home = new bvtest::TempDir;
    atexit([] { delete home; });
    setenv("XDG_DATA_HOME", (*home / "xdg").c_str(), 1);
    setenv("HOME", home->path().c_str(), 1);
    setenv("BV_HOME", BV_BUILD_DIR "/game", 1);
    setenv("QORL_LOGFILE", "/dev/stderr", 1);
    setenv("QORL_OPTIONS", "[dsnd:off]", 1);  // the waveOut driver logs its close
    qorl_pcm_set_device_name("null");
    static const mem_system_allocator failing{die_once_sound_is_open, realloc, free};
    mem_set_system_allocator(&failing);
    char name[] = "brovanta";
    char* argv[] = {name, nullptr};
    front_end_install();
    exit(brovanta_main(1, argv) == 0 ? 2 : 3);
}

}  // namespace

TEST(OutOfMemory, ClosesTheSoundAndTheWindowBeforeItsMessage)
{
    bvtest::XvfbServer server;
    BV_REQUIRE_XVFB(server);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Set before the child starts: its log opens on the first line, which the test
    // support's own log offer writes before any test runs.
    setenv("QORL_LOGFILE", "/dev/stderr", 1);
    EXPECT_EXIT(run_until_memory_fails(), testing::ExitedWithCode(1),
                "Audio opened!.*Closing audio.*Deleting OpenGL context.*Window shutdown complete.*"
                "Error: Out of virtual memory");
    unsetenv("QORL_LOGFILE");
}
