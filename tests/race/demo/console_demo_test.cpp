// The console's "namedemo" and "demobackups" on a real recording.
#include "demo_fixture.h"
#include "frontend/console_commands.h"
#include "frontend/front_end.h"
#include "frontend/message_line.h"
#include "race/program/main_loop.h"
#include "race/program/settings_values.h"
#include "support/fresh_process.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace demotest;

std::string said(const char* line)
{
    const int before = message_log.write_index;
    console_execute(line);
    return message_log.write_index == before ? "" : message_line_back(0);
}

TEST(ConsoleDemo, NamesTheRecording)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        start(root);
        front_end_install();
        put_rider(0, rider_kind_local);
        p.same(said("/namedemo lap"), "Not currently recording a demo", "not recording");
        demo_record_open();
        p.check(demo_recording() == 1, "recording");
        race.time_trial_active = 1;
        p.same(said("/namedemo lap"), "Not currently recording a demo", "a time-trial lap");
        race.time_trial_active = 0;

        const struct {
            const char* line;
            const char* answer;
            const char* name;   // the demo name after it
        } cases[] = {
            {"/namedemo lap", "Demo name updated", "lap.bvdemo"},
            {"/namedemo best.bvdemo", "Demo name updated", "best.bvdemo"},
            {"/namedemo  two words", "Demo name updated", "two.bvdemo"},   // the first word
            {"/namedemo", "Usage: namedemo <name>", "two.bvdemo"},
            {"/namedemo ../escape", "Demo name refused", "two.bvdemo"},
            {"/namedemo a/b", "Demo name refused", "two.bvdemo"},
        };
        for (const auto& c : cases) {
            p.same(said(c.line), c.answer, c.line);
            p.same(demo_name(), c.name, std::string(c.line) + ": the name");
        }
        const std::string long_name = "/namedemo " + std::string(1017, 'n');
        p.same(said(long_name.c_str()), "Name too long", "1017 characters");
        const std::string longest = "/namedemo " + std::string(1016, 'n');
        p.check(said(longest.c_str()) != "Name too long", "1016 characters pass the length rule");

        demo_set_name("kept.bvdemo");
        demo_record_close();
        p.check(bvtest::file_exists(user_file(root, "demos/kept.bvdemo")), "renamed at close");

        // "demobackups" is the count the recorder keeps.
        p.same(said("/demobackups 2"), "Now keeping 2 demo backups", "demobackups");
        for (int i = 0; i < 3; ++i) {
            demo_record_open();
            demo_record_states(1);
            demo_record_close();
        }
        p.check(bvtest::file_exists(user_file(root, "demos/default00.bvdemo")) &&
                    bvtest::file_exists(user_file(root, "demos/default01.bvdemo")) &&
                    !bvtest::file_exists(user_file(root, "demos/default02.bvdemo")),
                "two backups kept");
        return p.text;
    });
}

}  // namespace
