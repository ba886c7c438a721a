// A race of table riders for the results code: each slot's kind, gate times and
// finish as a test sets them, read through the results' rider view. The race
// globals the results read (timing positions per lap, drop, limit, laps, online
// state, histories) start from an offline race with no time limit.
#pragma once
#include "race/race_results.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace racetable {

struct TableRider {
    bool occupied = false;
    int32_t kind = 0;
    std::vector<int32_t> gates;     // tick per position, -1 = missed
    bool finished = false;
    std::string number = "1";
    std::string bike = "cr125";
    int32_t positions() const { return int32_t(gates.size()); }
};

extern TableRider riders[160];

// Sets F and N (and a timed track), the drop, and clears everything else.
class RaceTable : public ::testing::Test {
protected:
    RaceTable();
    ~RaceTable() override;
    static void lap_layout(int32_t first, int32_t further);
    // Slot s rides with these gate times.
    static TableRider& ride(int32_t slot, std::vector<int32_t> gates, int32_t kind = 0);
    int recorded_rounds = 0;
};

}  // namespace racetable
