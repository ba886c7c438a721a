// A changed setup reaches a real bike only while it stands still; the refusal is said
// at most once in ten seconds of running clock.
#include "race/bike_setup.h"
#include "race/race_state.h"
#include "race/program/run_clock.h"
#include "race/program/settings_values.h"
#include "race/setup_guard.h"
#include "sim/sim_fixture.h"

#include <gtest/gtest.h>

namespace {

constexpr const char* kRefusal = "Settings not applied.  Mechanic can't keep up error.";

int refusals(const simtest::LogCapture& log)
{
    int n = 0;
    const std::string text = log.text();
    for (size_t at = text.find(kRefusal); at != std::string::npos; at = text.find(kRefusal, at + 1))
        ++n;
    return n;
}

class SetupGuard : public simtest::BikeTest {
protected:
    SetupGuard()
    {
        setup = setup_values{};
        stability_derive(100);
        race.last_refused_setup = -20;
    }
    ~SetupGuard() override
    {
        setup = setup_values{};
        run_clock = 0;
        race.last_refused_setup = -20;
    }
    void moving(rider_slot* r, float speed) { dBodySetLinearVel(r->bodies[body_frame], 0, 0, speed); }
    // A bike in slot 0 with the setup applied, then a fork preload change pending.
    rider_slot* bike_with_pending_change(float speed)
    {
        rider_slot* r = create("cr125", 0);
        if (!r)
            return nullptr;
        bike_apply_setup(r);
        preload_before = r->fork.preload;
        setup.fork_preload_adjustment = 90;
        moving(r, speed);
        return r;
    }
    float preload_before = 0;
};

TEST_F(SetupGuard, AStandingBikeTakesTheSetup)
{
    rider_slot* r = bike_with_pending_change(0.125f);
    ASSERT_NE(r, nullptr);
    simtest::LogCapture log;
    setup_change_guard(0);
    EXPECT_NE(r->fork.preload, preload_before);
    EXPECT_EQ(refusals(log), 0);
    setup_change_guard(5);   // no bike in the slot: nothing happens
}

TEST_F(SetupGuard, AMovingBikeRefusesAndSaysSoOnceInTenSeconds)
{
    rider_slot* r = bike_with_pending_change(0.2f);
    ASSERT_NE(r, nullptr);
    simtest::LogCapture log;
    const std::pair<double, int> steps[] = {{100, 0}, {105, 1}, {117, 1}, {120, 2}};
    for (const auto& [now, said] : steps) {
        run_clock = now;
        setup_change_guard(0);
        EXPECT_EQ(refusals(log), said) << now;
        EXPECT_EQ(race.last_refused_setup, now);
    }
    EXPECT_EQ(r->fork.preload, preload_before);
}

// The race start refuses through the same guard: a refusal there 3 s before one from
// the menus makes the second one speak.
TEST_F(SetupGuard, TheRaceStartSharesTheRefusalTime)
{
    rider_slot* r = create("cr125", 0);
    ASSERT_NE(r, nullptr);
    moving(r, 3.0f);
    simtest::LogCapture log;
    run_clock = 50;
    setup_change_guard(0);   // the race start's call
    run_clock = 53;
    setup_change_guard(0);
    EXPECT_EQ(refusals(log), 1);
}

}  // namespace
