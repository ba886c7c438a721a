// The sample track loads behind the real progress screen: the frames change with the
// load's messages over the unchanged title picture, and the reset reports the message
// that stayed longest. The frames are saved as "<build>/frontend_frames/load_*.png".
#include "frontend_env.h"
#include "gfx/log_capture.h"
#include "gl_window.h"
#include "race/race_state.h"
#include "race/track_load.h"
#include "sim/physics_world.h"
#include "support/fresh_process.h"
#include "terrain/track_list.h"

#include <set>
#include <string>
#include <vector>

namespace fronttest {
namespace {

using TrackLoadFrames = GlWindowTest;

TEST_F(TrackLoadFrames, TheSampleTrackShowsItsProgress)
{
    bvtest::in_fresh_process([&] {
        bvtest::Problems p;
        LogCapture log;
        physics_world_init();
        p.check(scan_tracks() > 0, "no tracks found");
        race_requested_folder = "tracks/sample";
        race_opts.seed = 7;
        reset_race(nullptr, 0, 0, 0, 3, 0);
        p.check(track_folder != nullptr, "the track did not load");

        // The track scan turns the spinner (frames without a message) first.
        std::set<std::string> messages;
        std::vector<const Frame*> titled;
        for (const Frame& f : frames) {
            messages.insert(f.message);
            if (!f.message.empty())
                titled.push_back(&f);
        }
        p.check(messages.count("Loading terrain") && messages.count("Resetting..."),
                "messages seen: " + std::to_string(messages.size()));
        p.check(titled.size() >= 2, "fewer than two frames");
        if (titled.size() >= 2) {
            // The message line at the top differs, the picture in the middle does not.
            const Frame& a = *titled.front();
            const Frame& b = *titled.back();
            int top = 0, middle = 0;
            for (int x = 0; x < a.w; ++x) {
                for (int y = 0; y < 18; ++y)
                    top += a.at(x, y) != b.at(x, y);
                for (int y = 200; y < 280; ++y)
                    middle += a.at(x, y) != b.at(x, y);
            }
            p.check(top > 20, "the message line did not change");
            p.check(middle == 0, "the title picture changed");
            save_frame("load_first", a.w, a.h, a.rgb());
            save_frame("load_last", b.w, b.h, b.rgb());
        }
        const std::string text = log.text();
        p.check(text.find("Max loading delay was ") != std::string::npos &&
                    text.find("(bikes)") == std::string::npos,
                "the delay report names a shown message");
        return p.text;
    });
}

}  // namespace
}  // namespace fronttest
