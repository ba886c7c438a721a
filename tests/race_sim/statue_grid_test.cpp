// The statue grid and the contact lists: cells of coordinates (clamped, NaN-safe),
// statues binned by their bounding circles, each rider testing the statues around
// it once and in index order, the touched tick, the start-gate pieces, and a real
// bike against a real shape.
#include "race/race_riders.h"
#include "race/statue_grid.h"
#include "sim/bike_build.h"
#include "sim/bike_contacts.h"
#include "sim/ground_track.h"
#include "sim/race_clock.h"
#include "sim/sim_fixture.h"
#include "foundation/memory.h"
#include "support/measured_child.h"
#include "support/test_support.h"
#include "terrain/statues.h"
#include "terrain/timing_gates.h"

#include <cmath>
#include <limits>
#include <map>
#include <set>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

struct Tested {
    std::vector<int32_t> statues;
    std::vector<std::vector<float>> rotations;
    int terrain = 0;
    std::set<int32_t> touching;
};
Tested tested;

// Statues of one shape share its instance: the position tells them apart.
int32_t index_of(const collision_shape* shape, const float* position)
{
    for (int32_t i = 0; i < statue_count(); ++i) {
        const statue* s = statue_at(i);
        if (s->shape == shape && s->x == position[0] && s->z == position[2])
            return i;
    }
    return -1;
}

const statue_contact_calls recorder = {
    [](rider_slot*) { return ++tested.terrain, 0; },
    [](rider_slot*, collision_shape* shape, dBodyID, const float* position, const float* rotation) {
        const int32_t i = index_of(shape, position);
        tested.statues.push_back(i);
        tested.rotations.emplace_back(rotation, rotation + 9);
        return tested.touching.count(i) ? part_front_wheel : 0;
    },
};

std::vector<int32_t> cell(int x, int z)
{
    const growable_array& c = statue_grid[z * kStatueGridSide + x];
    const int32_t* items = static_cast<const int32_t*>(c.items);
    return std::vector<int32_t>(items, items + c.count);
}

class StatueGrid : public simtest::BikeTest {
protected:
    StatueGrid() : ground(7, 4.0f, [](float, float) { return 0.0f; })   // 1024 ft across
    {
        race_install_statue_shapes();
        statues_reset();
        bvtest::write_file(simtest::root() + "/user/Brovanta/small.shp", "1\n0 1 0 1 0.8 10000 500\n");
        bvtest::write_file(simtest::root() + "/user/Brovanta/big.shp", "1\n0 0 0 100 0.8 10000 500\n");
        tested = Tested{};
        current_tick = 0;
    }
    ~StatueGrid() override
    {
        statue_contacts = {bike_collide_terrain, bike_collide_object};
        statue_grid_free();
        statues_free();
        timing_gates.start_slot_count = 0;
    }
    // A bike whose frame stands at (x, z).
    rider_slot* rider_at(float x, float z)
    {
        rider_slot* r = create();
        const dReal* p = dBodyGetPosition(r->bodies[body_frame]);
        bike_translate(r, x - float(p[0]), 0.1f, z - float(p[2]));
        return r;
    }
    GroundTrack ground;
};

TEST_F(StatueGrid, CellsSpanTheMiddleThreeQuartersAndClampEverythingElse)
{
    const struct {
        float c, extent;
        int cell;
    } cases[] = {
        {128, 1024, 0}, {223.9f, 1024, 0}, {224, 1024, 1}, {511.9f, 1024, 3}, {512, 1024, 4},
        {895.9f, 1024, 7}, {896, 1024, 7}, {5000, 1024, 7}, {-5000, 1024, 0}, {kNaN, 1024, 0},
        {kInf, 1024, 7}, {-kInf, 1024, 0}, {1e38f, 1024, 7}, {500, 0, 7}, {500, kNaN, 0}, {-3e38f, 1e-30f, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(statue_grid_cell(c.c, c.extent), c.cell) << c.c << " over " << c.extent;
}

TEST_F(StatueGrid, StatuesAreListedInEveryCellTheirCircleCovers)
{
    create_statue(500, 0, 500, 0, nullptr, nullptr, "@small.shp");   // 0: cell (3, 3)
    create_statue(500, 0, 500, 0, nullptr, nullptr, "@big.shp");     // 1: cells 2..4 both ways
    create_statue(500, 0, 500, 0, nullptr, nullptr, nullptr);        // 2: no shape
    create_statue(10, 0, 1000, 0, nullptr, nullptr, "@small.shp");   // 3: the corner cell
    for (int pass = 0; pass < 2; ++pass) {
        statue_grid_build();
        EXPECT_EQ(cell(3, 3), (std::vector<int32_t>{0, 1}));
        EXPECT_EQ(cell(2, 4), (std::vector<int32_t>{1}));
        EXPECT_EQ(cell(4, 2), (std::vector<int32_t>{1}));
        EXPECT_EQ(cell(0, 7), (std::vector<int32_t>{3}));
        EXPECT_EQ(cell(5, 3), (std::vector<int32_t>{}));
        EXPECT_EQ(cell(1, 3), (std::vector<int32_t>{}));
    }
    // Blown-up positions land in cells without undefined behaviour.
    statue_at(0)->x = kNaN;
    statue_at(3)->z = kInf;
    statue_grid_build();
    EXPECT_EQ(cell(0, 3), (std::vector<int32_t>{0}));
    EXPECT_EQ(cell(0, 7), (std::vector<int32_t>{3}));
}

TEST_F(StatueGrid, ARiderTestsEachStatueAroundItOnceInIndexOrder)
{
    statue_contacts = recorder;
    create_statue(500, 0, 500, 0, nullptr, nullptr, "@small.shp");   // 0: cell (3, 3)
    create_statue(500, 0, 500, 0, nullptr, nullptr, "@big.shp");     // 1: cells 2..4
    create_statue(530, 0, 500, 4, nullptr, nullptr, "@small.shp");   // 2: cell (4, 3), upright
    create_statue(130, 0, 130, 0, nullptr, nullptr, "@small.shp");   // 3: cell (0, 0)
    create_statue(700, 0, 700, 0, nullptr, nullptr, nullptr);        // 4: no shape
    statue_grid_build();
    const struct {
        float x, z;
        std::vector<int32_t> statues;
    } cases[] = {
        {500, 500, {0, 1}},        // one cell: its own list
        {512, 500, {0, 1, 2}},     // two cells sharing statue 1
        {50, 50, {3}},             // beyond the grid: the border cell
        {-400, 2000, {}},
    };
    for (const auto& c : cases) {
        rider_slot* r = rider_at(c.x, c.z);
        tested = Tested{};
        rider_gather_contacts(r);
        EXPECT_EQ(tested.statues, c.statues) << c.x << ", " << c.z;
        EXPECT_EQ(tested.terrain, 1);
        bike_destroy(r);
    }

    // The touched statue carries this tick; an upright one is tested unrotated.
    rider_slot* r = rider_at(512, 500);
    statue_at(0)->rotation[1] = 0.5f;
    tested = Tested{};
    tested.touching = {2};
    current_tick = 777;
    rider_gather_contacts(r);
    EXPECT_EQ(statue_at(2)->touched_tick, 777);
    EXPECT_EQ(statue_at(0)->touched_tick, 0);
    EXPECT_EQ(tested.rotations[2], (std::vector<float>{1, 0, 0, 0, 1, 0, 0, 0, 1}));
    EXPECT_EQ(tested.rotations[0][1], 0.5f);

    // Start-gate pieces: a negative or unknown statue index is skipped.
    timing_gates.start_slot_count = 4;
    const int32_t pieces[] = {-1, 3, 99, 4};
    std::copy(std::begin(pieces), std::end(pieces), timing_gates.start_slot_statue);
    tested = Tested{};
    tested.touching = {3};
    current_tick = 800;
    gate_pieces_touch(r);
    EXPECT_EQ(tested.statues, (std::vector<int32_t>{3}));
    EXPECT_EQ(statue_at(3)->touched_tick, 800);
}

int allocations = 0;
const mem_system_allocator counting = {
    [](size_t n) { return ++allocations, malloc(n); },
    [](void* p, size_t n) { return ++allocations, realloc(p, n); },
    free,
};

TEST_F(StatueGrid, GatheringAllocatesNothingOnceTheScratchListsHaveGrown)
{
    statue_contacts = recorder;
    for (int i = 0; i < 60; ++i)
        create_statue(500 + float(i % 10), 0, 500 + float(i / 10), 0, nullptr, nullptr, "@small.shp");
    create_statue(520, 0, 520, 0, nullptr, nullptr, "@big.shp");
    statue_grid_build();
    rider_slot* r = rider_at(512, 512);
    rider_gather_contacts(r);
    const size_t first = tested.statues.size();
    EXPECT_EQ(first, 61u);
    allocations = 0;
    mem_set_system_allocator(&counting);
    for (int tick = 0; tick < 100; ++tick)
        rider_gather_contacts(r);
    mem_set_system_allocator(nullptr);
    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(tested.statues.size(), first * 101);
}

// A big shape placed by many statue lines: the statues share its spheres, and those
// past the track's sphere bound are refused in one line naming the file.
TEST_F(StatueGrid, ABigShapeOnManyStatueLinesCostsLittle)
{
    std::string shape = "4096\n";
    for (int i = 0; i < 4096; ++i)
        shape += std::to_string(i % 64) + " 1.5 " + std::to_string(i / 64) + " 0.75 0.8 10000 500\n";
    bvtest::write_file(simtest::root() + "/user/Brovanta/many.shp", shape);
    for (int lines : {20000, 100000}) {
        std::string text;
        for (int i = 0; i < lines; ++i)
            text += "[" + std::to_string(100 + i % 800) + " 0 " + std::to_string(100 + i / 800 % 800) +
                    "] 0 null null @many.shp\n";
        const std::string path = simtest::root() + "/statues";
        bvtest::write_file(path, text);
        const bvtest::ChildCost cost = bvtest::run_measured([&path] {
            simtest::LogCapture console;
            statues_reset();
            statues_read(path.c_str());
            statue_grid_build();
            const bool placed = statue_count() == 256 && statue_at(0)->shape == statue_at(255)->shape;
            const bool logged = console.text() == "Statues file " + path +
                                                      ": line 257 and later refused, more than 1048576 collision "
                                                      "spheres\n";
            return placed && logged ? 1 : 0;
        });
        const std::string label = "4096-sphere shape x " + std::to_string(lines) + " statue lines";
        fprintf(stderr, "%s\n", bvtest::describe(label, cost).c_str());
        EXPECT_TRUE(cost.finished && cost.result == 1) << label;
        EXPECT_LT(cost.seconds, 2.0) << bvtest::describe(label, cost);
        EXPECT_LT(cost.grown_kib, 200 * 1024) << bvtest::describe(label, cost);
    }
}

// A bike dropped onto a post on flat ground stamps the post's touched tick.
TEST_F(StatueGrid, ARealBikeTouchesARealShape)
{
    rider_slot* r = rider_at(500, 500);
    const dReal* front = dBodyGetPosition(r->bodies[body_front_wheel]);
    const int32_t post =
        create_statue(float(front[0]), 0, float(front[2]), 0, nullptr, nullptr, "@small.shp");
    create_statue(300, 0, 300, 0, nullptr, nullptr, "@small.shp");
    statue_grid_build();
    bike_translate(r, 0, 0.5f, 0);
    for (int t = 1; t <= 64 && statue_at(post)->touched_tick == 0; ++t) {
        current_tick = t;
        rider_gather_contacts(r);
        dWorldStep(physics_world, 1.0 / 128);
        dJointGroupEmpty(contact_group);
    }
    EXPECT_GT(statue_at(post)->touched_tick, 0);
    EXPECT_EQ(statue_at(post + 1)->touched_tick, 0);
}

}  // namespace
