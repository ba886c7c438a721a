// Choosing the driver: "dsnd" first, then "waveout", as the options allow, falling
// through when a device does not open; and the live drivers on ALSA's "null" device
// and on a device that does not exist.
#include "platform/alsa_pcm.h"
#include "platform/audio_drivers.h"
#include "platform/audio_dsound.h"
#include "platform/dsound_layer.h"
#include "platform/qorl_audio.h"
#include "platform/qorl_log.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// 1 for "dsnd", 2 for "waveout", 0 for none, as an exit status; 4 when a second open
// was not refused or closing left a driver current.
int chosen_driver()
{
    qorl_audio* audio = qorl_audio_open(nullptr);
    const qorl_audio_driver* current = qorl_audio_current_driver();
    int which = !audio ? 0 : current == &qorl_dsound_driver ? 1 : current == &qorl_waveout_driver ? 2 : 3;
    bool refused_again = !qorl_audio_open(nullptr);
    qorl_audio_close(audio);
    return refused_again && !qorl_audio_current_driver() ? which : 4;
}

// The options text is read once per process, so each setting runs in a fresh one.
TEST(DriverChoice, BufferDriverFirstThenTheMixerDriverAsTheOptionsAllow)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct row {
        const char* options;
        bool buffer_device_fails;
        int expected;
    };
    for (row r : {row{"", false, 1}, row{"", true, 2}, row{"[dsnd:off]", false, 2}, row{"[waveout:no]", true, 0},
                  row{"[dsnd:off][waveout:off]", false, 0}}) {
        setenv("QORL_OPTIONS", r.options, 1);
        EXPECT_EXIT(
            {
                qorl_pcm_set_device_name("null");
                if (r.buffer_device_fails)
                    qorl_ds_set_device_source([](ds_device**) { return DSERR_NODRIVER; });
                exit(chosen_driver());
            },
            ::testing::ExitedWithCode(r.expected), "")
            << r.options << (r.buffer_device_fails ? " without a buffer device" : "");
    }
    unsetenv("QORL_OPTIONS");
}

// A log file the re-executed child and this process agree on (a temporary folder
// would differ between them).
std::string log_path(const char* name)
{
    std::string path = std::string(BV_BUILD_DIR) + "/tests/" + name + "_log.txt";
    unlink(path.c_str());
    return path;
}

class LiveDrivers : public ::testing::Test {
protected:
    void TearDown() override { qorl_pcm_set_device_name(nullptr); }
};

// Plays a looping sound on whatever opened and waits for its position to move.
void expect_playback(qorl_audio* audio)
{
    std::vector<uint8_t> data(50000, 160);
    qorl_sound* s = qorl_sound_new(audio, static_cast<int32_t>(data.size()), data.data(), 0);
    ASSERT_NE(s, nullptr);
    qorl_sound* v = qorl_voice_new(s);
    qorl_sound_set_loop(v, 1);
    EXPECT_EQ(qorl_sound_play(v), 1);
    int32_t position = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (position == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        position = qorl_sound_position(v);
    }
    EXPECT_GT(position, 0);
    uint8_t ring[300];
    std::fill(std::begin(ring), std::end(ring), 100);
    EXPECT_EQ(qorl_stream_write(v, 300, ring, position - 150), 1);
    EXPECT_EQ(qorl_sound_stop(v), 1);
    qorl_sound_free(v);
    qorl_sound_free(s);
}

TEST_F(LiveDrivers, BufferDriverPlaysOnTheNullDevice)
{
    qorl_pcm_set_device_name("null");
    qorl_audio* audio = qorl_audio_open(nullptr);
    ASSERT_NE(audio, nullptr);
    EXPECT_EQ(qorl_audio_current_driver(), &qorl_dsound_driver);
    EXPECT_EQ(qorl_audio_readback(audio), nullptr);
    expect_playback(audio);
    qorl_audio_close(audio);
}

TEST_F(LiveDrivers, MixerDriverPlaysOnTheNullDeviceAndLogsItsSetUp)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string log = log_path("waveout_null");
    setenv("QORL_LOGFILE", log.c_str(), 1);
    setenv("QORL_OPTIONS", "[dsnd:off][sound-rate:11025][sound-mixahead:1000]", 1);
    EXPECT_EXIT(
        {
            qorl_pcm_set_device_name("null");
            qorl_audio* audio = qorl_audio_open(nullptr);
            if (!audio || qorl_audio_current_driver() != &qorl_waveout_driver)
                exit(2);
            expect_playback(audio);
            qorl_audio_close(audio);
            qorl_waveout_driver.close(audio);  // not open any more: said, not done
            exit(::testing::Test::HasFailure() ? 3 : 0);
        },
        ::testing::ExitedWithCode(0), "");
    unsetenv("QORL_LOGFILE");
    unsetenv("QORL_OPTIONS");
    const std::string text = bvtest::read_file(log);
    // 1000 ms asked, 32 fragments of 172 frames given.
    for (const char* line : {"Found a null\n", "Waveout mixahead: 500\n", "Audio thread end\n",
                             "Can't close audio, not open\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "in:\n" << text;
}

TEST_F(LiveDrivers, NoSoundCardMeansNoDeviceSilenceAndALogLine)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string log = log_path("waveout_missing");
    setenv("QORL_LOGFILE", log.c_str(), 1);
    const uint8_t data[2] = {};
    EXPECT_EXIT(
        {
            qorl_pcm_set_device_name("bv_no_such_device");
            bool silent = !qorl_audio_open(nullptr) && !qorl_audio_current_driver() && !qorl_sound_new(nullptr, 2, data, 0);
            exit(silent ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    unsetenv("QORL_LOGFILE");
    const std::string text = bvtest::read_file(log);
    EXPECT_NE(text.find("] No audio device\n"), std::string::npos) << text;
    // ALSA's own complaint reaches the log too, not the terminal.
    EXPECT_NE(text.find("ALSA lib "), std::string::npos) << text;
}

}  // namespace
