// What the server says over the reliable channel while racing: chat, "still there",
// script messages, deformations and the text commands; and the client's own
// deformations, offline and online.
#include "net_client_fixture.h"

#include "race/net/net_messages.h"
#include "race/race_hooks.h"
#include "race/program/run_clock.h"
#include "race/net/wire_bytes.h"
#include "sim/bike_step.h"
#include "terrain/ruts.h"
#include "terrain/track_list.h"
#include "script/script_host.h"
#include "script/script_seams.h"
#include "support/test_support.h"

#include <cstring>

using namespace nettest;
namespace ts = test_server;

namespace {

class Racing : public Scripted {
protected:
    uint32_t next_sequence = 0;

    void SetUp() override
    {
        Scripted::SetUp();
        walk_to(11);
        sent();
    }
    // A reliable record from the server, delivered in this step.
    void say(uint8_t record, const Bytes& payload) { push(ts::reliable(next_sequence++, record, payload)); }
    void say(uint8_t record, const std::string& text) { say(record, bytes_of(text)); }
    // The reliable records that reached the server, acknowledging each one.
    std::vector<std::pair<uint8_t, std::string>> records(int steps = 4)
    {
        std::vector<std::pair<uint8_t, std::string>> out;
        for (int i = 0; i < steps; ++i) {
            step();
            for (const Bytes& b : sent(17)) {
                out.emplace_back(b[13], std::string(b.begin() + 14, b.end()));
                server.send_to(client, ts::ack(wire_get_u32(&b[9])));
            }
        }
        return out;
    }
};

Bytes deformation_record()
{
    Bytes r(17, 0);
    r[0] = 1;
    return r;
}

TEST_F(Racing, ChatGoesToTheMessageLineAndTheDemo)
{
    const ConsoleCapture out;
    say(19, "Rider 4: hello");
    EXPECT_EQ(out.text(), "Rider 4: hello\n");
    ASSERT_EQ(demo_events().size(), 1u);
    EXPECT_EQ(demo_events()[0].type, 2);
    EXPECT_EQ(demo_events()[0].bytes, "Rider 4: hello");
}

TEST_F(Racing, AreYouStillThereIsAnswered)
{
    say(20, "");
    const auto r = records();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].first, 31);
    EXPECT_EQ(r[0].second, "Roger that!  Still alive!");
}

TEST_F(Racing, ScriptMessagesForThisRaceReachTheScript)
{
    const struct {
        std::string text;
        const char* handed;  // null: dropped
    } cases[] = {
        {"7 lap done", "lap done"},
        {"  7  two blanks", " two blanks"},
        {"7\tlap", nullptr},
        {"8 other race", nullptr},
        {"7", nullptr},
        {"x7 y", nullptr},
        {"+7 signed", "signed"},
        {"4294967303 too big", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        script_messages().clear();
        demo_events().clear();
        say(32, c.text);
        if (!c.handed) {
            EXPECT_TRUE(script_messages().empty());
            EXPECT_TRUE(demo_events().empty());
            continue;
        }
        ASSERT_EQ(script_messages().size(), 1u);
        EXPECT_EQ(script_messages()[0], c.handed);
        ASSERT_EQ(demo_events().size(), 1u);
        EXPECT_EQ(demo_events()[0].type, 6);
        EXPECT_EQ(demo_events()[0].bytes, c.handed);
    }
}

// The real track script behind the client: a server's message for this race reaches
// its handler, and its broadcasts reach the server as this race's type 32 records,
// cut to 128 characters, only while broadcasting is switched on.
TEST_F(Racing, AScriptHearsThisRacesMessagesAndBroadcastsWhenSwitchedOn)
{
    bvtest::TempDir folder;
    const std::string path = folder / "nofrills.js";
    bvtest::write_file(path, "var heard = []; bv.script_message_handler = function (m) { heard.push(m); };"
                             "function shout(n) { bv.broadcast_script_message(new Array(+n + 1).join('x')); }");
    ASSERT_EQ(script_load(path.c_str()), 1);
    race_hooks.script_call_message_handler = script_call_message_handler;
    say(32, "7 hello");
    say(32, "8 not ours");
    EXPECT_EQ(script_eval(script_current, "if (heard.join('|') != 'hello') throw new Error(heard.join('|'));"), 1)
        << script_error_text(script_current);

    script_call_path(script_current, "shout", "200", static_cast<const char*>(nullptr));
    EXPECT_TRUE(records().empty()) << "a broadcast while switched off";
    script_broadcasting = 1;
    script_call_path(script_current, "shout", "200", static_cast<const char*>(nullptr));
    const auto r = records();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].first, 32);
    EXPECT_EQ(r[0].second, "7 " + std::string(128, 'x'));
    script_broadcasting = 0;
    script_unload();
}

TEST_F(Racing, DeformationsForThisRaceApplyAndEveryOneIsRecorded)
{
    erosion_queue_clear();
    say(27, ts::deformation_payload(race_id, deformation_record()));
    EXPECT_EQ(erosion_queue_count(), 1);
    say(27, ts::deformation_payload(race_id + 1, deformation_record()));
    EXPECT_EQ(erosion_queue_count(), 1) << "another race's ground is not ours";
    say(27, Bytes{7, 0, 0});  // too short for a race id
    ASSERT_EQ(demo_events().size(), 2u);
    EXPECT_EQ(demo_events()[0].type, 5);
    EXPECT_EQ(demo_events()[0].bytes.size(), 17u);
    erosion_queue_clear();
}

TEST_F(Racing, OwnDeformationsGoToTheServerAndApplyOnlyWhenEchoed)
{
    erosion_queue_clear();
    const Bytes record = deformation_record();
    net_queue_data(record.data(), int32_t(record.size()));
    EXPECT_EQ(erosion_queue_count(), 0);
    const auto r = records();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].first, 27);
    ASSERT_EQ(r[0].second.size(), 4 + record.size());
    EXPECT_EQ(wire_get_u32(reinterpret_cast<const uint8_t*>(r[0].second.data())), race_id);
    say(27, ts::deformation_payload(race_id, record));
    EXPECT_EQ(erosion_queue_count(), 1);
    erosion_queue_clear();
}

TEST(NetQueueData, OfflineAppliesAtOnce)
{
    erosion_queue_clear();
    const Bytes record = deformation_record();
    net_queue_data(record.data(), int32_t(record.size()));
    EXPECT_EQ(erosion_queue_count(), 1);
    erosion_queue_clear();
}

TEST_F(Racing, TextCommands)
{
    struct command_case {
        std::string text;
        std::string check;   // what to look at afterwards
        std::string want;
    };
    auto knockouts = [] {
        std::string s;
        for (int32_t k : knockout_table)
            s += std::to_string(k) + " ";
        return s;
    };
    auto state = [&](const std::string& what) -> std::string {
        if (what == "arcade")
            return std::to_string(net_arcade_disabled);
        if (what == "bias")
            return std::to_string(off_course_bias);
        if (what == "scale")
            return std::to_string(off_course_scale);
        if (what == "knockout")
            return knockouts();
        if (what == "erode")
            return std::to_string(track_terrain.erosion_amount) + " " + std::to_string(race.force_reload);
        return "";
    };
    const std::string zeros = "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 ";
    const command_case cases[] = {
        {"no_arcade ", "arcade", "0"},
        {" no_arcade", "arcade", "0"},
        {"no_arcade", "arcade", "1"},
        {"off_course_bias 3.5", "bias", "3.500000"},
        {"off_course_scale 2", "scale", "2.000000"},
        {"off_course_scale x", "scale", "2.000000"},
        {"knockout 5 7", "knockout", "5 7 7 7 7 7 7 7 7 7 7 7 7 7 7 7 "},
        {"knockout", "knockout", zeros},
        {"knockout -4", "knockout", zeros},
        {"knockout 99999999999 1", "knockout", "460800 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 "},
        {"knockoutx 3", "knockout", "460800 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 "},
        {" knockout 1 x 2", "knockout", "1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 "},
        {"erode 8 5", "erode", "-1 0"},
        {"erode 7 0", "erode", "0 0"},
        {"erode 7 12", "erode", "12 1"},
    };
    track_terrain.erosion_amount = -1;
    race.force_reload = 0;
    for (const command_case& c : cases) {
        SCOPED_TRACE(c.text);
        say(24, c.text);
        EXPECT_EQ(state(c.check), c.want);
    }
    // Only the change to 12 went to the demo: -1 to 0 does not.
    ASSERT_EQ(demo_events().size(), 1u);
    EXPECT_EQ(demo_events()[0].type, 3);
    EXPECT_EQ(demo_events()[0].bytes, "erode 12");

    const ConsoleCapture out;
    say(24, "erode 5");
    say(24, "  erode 7 10");
    EXPECT_EQ(out.text(), "Malformed erode command received\nMalformed erode command received\n");
    EXPECT_EQ(track_terrain.erosion_amount, 12);
    track_terrain.erosion_amount = 0;
    race.force_reload = 0;
}

TEST_F(Racing, ARedirectTargetIsCutAndTrimmed)
{
    say(24, "redirect " + std::string(200, 'h'));
    EXPECT_EQ(strlen(net_redirect_target), 127u);
    EXPECT_DOUBLE_EQ(net_redirect_time, run_clock - 1.0 / 128 + 10);
}

}  // namespace
