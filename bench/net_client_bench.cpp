// How long the network client's step takes per tick while racing 40 remote riders:
// the client joins the loopback test server and races on the flat test track (track
// reset with no display). The server relays every rider's state each 4th tick (two
// datagrams of 21 and 19 entries) and a tick sync each 8th; the client sends its own
// state each 4th tick. Timed per tick: the network step alone (the receive calls, the
// dispatch, the history insertions and the own send). Prints
//   network step, 40 riders: mean <M> us, p99 <P> us per tick, <S>% of a tick
// Argument: the number of timed ticks (7680 = 60 s of race by default).
#include "race/net/net_client.h"
#include "race/race_state.h"
#include "race/program/run_clock.h"
#include "race/track_load.h"
#include "sim/race_clock.h"
#include "sim/stock_shapes.h"
#include "terrain/track_list.h"
#include "test_server.h"
#include "tools/headless/headless_race.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr int kRiders = 40;
constexpr int kWarmup = 512;

void tick(test_server::Server& server)
{
    net_step();
    server.step(run_clock);
    run_clock += 1.0 / 128;
    ++current_tick;
}

}  // namespace

int main(int argc, char** argv)
{
    const int ticks = argc > 1 ? std::max(1, atoi(argv[1])) : 60 * 128;
    char user[] = "/tmp/bv_net_bench_XXXXXX";
    if (!mkdtemp(user)) {
        perror("mkdtemp");
        return 1;
    }
    setenv("XDG_DATA_HOME", user, 1);
    setenv("BV_HOME", BV_BUILD_DIR "/base_staging", 0);
    headless::start();
    if (!scan_tracks()) {
        fputs("no tracks found\n", stderr);
        return 1;
    }
    net_client_install();
    stock_shapes_flag = 1;
    race_requested_folder = "tracks/flat";
    reset_race(nullptr, 0, 0, 0, 3, 0);

    test_server::Options options;
    options.track = "tracks/flat";
    memcpy(options.hash.data(), track_hash, 20);
    options.riders = kRiders;
    options.fake_state.fill(0x40);
    test_server::Server server(options);
    if (!server.open()) {
        fprintf(stderr, "server: %s\n", server.error().c_str());
        return 1;
    }
    run_clock = 1.5;
    net_menu_connect(server.address().c_str());
    for (int i = 0; i < 4096 && net_state != 11; ++i)
        tick(server);
    if (net_state != 11) {
        fprintf(stderr, "the client did not reach the race (state %d)\n", net_state);
        return 1;
    }
    for (int i = 0; i < kWarmup; ++i)
        tick(server);

    std::vector<double> us;
    us.reserve(size_t(ticks));
    for (int i = 0; i < ticks; ++i) {
        server.step(run_clock);
        const auto t0 = std::chrono::steady_clock::now();
        net_step();
        const auto t1 = std::chrono::steady_clock::now();
        us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        run_clock += 1.0 / 128;
        ++current_tick;
    }
    double sum = 0;
    for (double u : us)
        sum += u;
    const double mean = sum / double(us.size());
    std::sort(us.begin(), us.end());
    const double p99 = us[std::min(us.size() - 1, size_t(double(us.size()) * 0.99))];
    printf("network step, %d riders: mean %.2f us, p99 %.2f us per tick, %.3f%% of a tick\n", kRiders, mean, p99,
           mean / 7812.5 * 100);
    net_send_disconnect();
    net_reset();
    std::filesystem::remove_all(user);
    return 0;
}
