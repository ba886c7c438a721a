#include "race_fixture.h"

#include "foundation/numbers/ripemd160.h"
#include "foundation/vfs/vfs.h"
#include "race/demo/demo.h"
#include "race/net/net_client.h"
#include "race/race_hooks.h"
#include "race/race_rules.h"
#include "race/track_load.h"
#include "sim/ai_lines_learning.h"
#include "sim/wheel_sampling.h"
#include "support/fresh_process.h"
#include "terrain/track_list.h"
#include "tools/headless/headless_race.h"

namespace racetest {

std::string user_folder(const bvtest::TempDir& root)
{
    return root / "user/Brovanta";
}

void start(const bvtest::TempDir& root)
{
    bvtest::make_dirs(user_folder(root));
    bvtest::use_folders(root / "user", BV_BUILD_DIR "/base_staging");
    headless::start();
}

void start_racing(const bvtest::TempDir& root)
{
    start(root);
    track_terrain_loader = headless::ground_only;
    scan_tracks();
    race_rules_install();
    demo_install_hooks();
    ai_lines_learning_install();
    // The network client's clearing of the per-slot tables and histories, as it
    // installs it at start-up.
    race_hooks.riders_clear = riders_clear;
    roost_density = 1000;   // the default; the roost draws from the race's generator
}

std::string data_bytes(const std::string& name)
{
    std::string out;
    vfs_file* f = vfs_open(("@" + name).c_str(), "rb");
    if (!f)
        return out;
    char buffer[4096];
    for (int n; (n = vfs_read(f, buffer, sizeof buffer)) > 0;)
        out.append(buffer, size_t(n));
    vfs_close(f);
    return out;
}

std::string openssl_rmd160(const std::string& bytes, const bvtest::TempDir& root)
{
    bvtest::write_file(root / "digest_input", bytes);
    const bvtest::ProcessResult r = bvtest::run_process({"/usr/bin/openssl", "dgst", "-rmd160", root / "digest_input"});
    const size_t at = r.out.rfind("= ");
    return at == std::string::npos ? "openssl failed: " + r.err : r.out.substr(at + 2, 40);
}

std::string hex(const uint8_t digest[20])
{
    char text[41];
    ripemd160_to_hex(digest, text);
    return text;
}

}  // namespace racetest
