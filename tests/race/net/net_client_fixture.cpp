#include "net_client_fixture.h"

#include "client_stand_ins.h"

#include "race/program/menu_state.h"
#include "race/net/net_channel.h"
#include "race/net/net_messages.h"
#include "race/race_hooks.h"
#include "race/program/run_clock.h"
#include "race/track_load.h"
#include "sim/race_clock.h"
#include "sim/stock_shapes.h"
#include "terrain/track_list.h"

#include <cstring>

namespace nettest {
namespace {

track_entry* saved_list = nullptr;
int32_t saved_count = 0;
race_hooks_table saved_hooks;

void stand_in_reset(const int32_t* lineup, int replay, int record, int32_t limit, int32_t laps, int32_t)
{
    reset_calls().push_back({std::vector<int32_t>(lineup, lineup + 161), replay, record, limit, laps});
    client_stand_ins::start_race(lineup);
}

}  // namespace

test_server::TrackHash known_hash()
{
    test_server::TrackHash h;
    for (size_t i = 0; i < h.size(); ++i)
        h[i] = uint8_t(0xA0 + i);
    return h;
}

std::vector<reset_call>& reset_calls()
{
    static std::vector<reset_call> calls;
    return calls;
}
std::vector<demo_event>& demo_events()
{
    static std::vector<demo_event> events;
    return events;
}
std::vector<std::string>& script_messages()
{
    static std::vector<std::string> messages;
    return messages;
}
int& results_refreshes()
{
    static int n = 0;
    return n;
}

void ClientFixture::SetUp()
{
    saved_hooks = race_hooks;
    saved_list = track_list;
    saved_count = track_count;
    client_stand_ins::restore_client(
        {stand_in_reset,
         [](int type, const void* bytes, int length) {
             demo_events().push_back({type, std::string(static_cast<const char*>(bytes), size_t(length))});
         },
         [](const char* m) { script_messages().push_back(m); }, [] { ++results_refreshes(); }});
    stock_shapes_flag = 1;
    reset_calls().clear();
    demo_events().clear();
    script_messages().clear();
    results_refreshes() = 0;
}

void ClientFixture::TearDown()
{
    net_client_restore();
    net_password = nullptr;
    net_fake_lag = 0;
    net_fake_loss = 0;
    net_track_reset = reset_race;
    race_hooks = saved_hooks;
    track_list = saved_list;
    track_count = saved_count;
    memset(track_hash, 0, sizeof track_hash);
}

void ClientFixture::step(int n)
{
    for (int i = 0; i < n; ++i) {
        net_step();
        run_clock += 1.0 / 128;
        ++current_tick;
    }
}

void ClientFixture::run_for(double seconds)
{
    const double end = run_clock + seconds;
    while (run_clock < end)
        step();
}

void Scripted::SetUp()
{
    ClientFixture::SetUp();
    ASSERT_TRUE(server.open()) << server.error();
    net_menu_connect(("127.0.0.1:" + std::to_string(server.port())).c_str());
    step();
    const std::vector<Bytes> first = peer_take(server, &client);
    ASSERT_EQ(first.size(), 1u);
    hello = first[0];
}

void Scripted::push(const Bytes& bytes)
{
    server.send_to(client, bytes);
    step();
}

std::vector<Bytes> Scripted::sent()
{
    return peer_take(server);
}

std::vector<Bytes> Scripted::sent(uint8_t type)
{
    std::vector<Bytes> out;
    for (Bytes& b : sent())
        if (!b.empty() && b[0] == type)
            out.push_back(b);
    return out;
}

void Scripted::walk_to(int state, int32_t lineup)
{
    push(test_server::hello_reply(3, kConnection, 6));
    if (state == 3)
        return;
    push(test_server::track_info(race_id, 0, 3, 640, known_hash(), kTrack));
    if (state == 5)
        return;
    push(test_server::race_start(race_id, lineup, "yz250f(2017)||||\n999\nQuinlo Dust"));
    if (state == 9)
        return;
    push(test_server::tick_sync(race_id, 1000, 0));
}

}  // namespace nettest
