#include "frontend_env.h"

#include "foundation/front_door.h"
#include "frontend/front_end.h"
#include "gfx/images.h"
#include "platform/qorl_log.h"
#include "support/fresh_process.h"
#include "support/test_support.h"

#include <filesystem>

namespace fronttest {
namespace {

int64_t fake_ms = 0;
int64_t fake_now() { return fake_ms; }

// Before any test: the user folder in a temporary place, the generated base data as
// the game folder, and the front end behind the door.
const bool prepared = [] {
    static bvtest::TempDir home;
    bvtest::make_dirs(home / "user");
    bvtest::use_folders(home / "user", BV_BUILD_DIR "/base_staging");
    front_end_install();
    return true;
}();

}  // namespace

FakeClock::FakeClock(int64_t start_ms)
{
    fake_ms = start_ms;
    qorl_set_clock(fake_now);
}

FakeClock::~FakeClock()
{
    qorl_set_clock(nullptr);
}

void FakeClock::set_seconds(double seconds)
{
    fake_ms = int64_t(seconds * 1000 + 0.5);
}

void FakeClock::advance(double seconds)
{
    fake_ms += int64_t(seconds * 1000 + 0.5);
}

void save_frame(const std::string& name, int w, int h, const std::vector<uint8_t>& rgb)
{
    const std::string folder = BV_BUILD_DIR "/frontend_frames";
    std::filesystem::create_directories(folder);
    png_write_rgb((folder + "/" + name + ".png").c_str(), rgb.data(), w, h);
}

}  // namespace fronttest
