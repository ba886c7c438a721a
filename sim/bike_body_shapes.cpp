// A shape that covers ground by the acre would make every game tick's ground test of
// its bike take seconds: the bike goes without it.
#include "sim/bike_body_shapes.h"

#include "sim/bike_contacts.h"

#include "foundation/front_door.h"
#include "foundation/text/text_util.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

// Names of the shape files refused so far: each is said once, not once per rider.
std::vector<std::string> told;

void tell_refused(const char* name, double cells)
{
    for (const std::string& t : told)
        if (t == name)
            return;
    told.emplace_back(name);
    char line[1200];
    format_string(line, sizeof line,
                  "Shape file %.900s left off the bike: one ground test of it would cover %.0f ground cells, "
                  "more than %.0f",
                  name, cells, kBodyShapeMostGroundCells);
    console_print(line);
}

}  // namespace

collision_shape* ground_body_shape_instance(const char* name, const terrain_state* terrain)
{
    const collision_shape* cached = shape_load(name);
    if (!cached)
        return nullptr;
    const double cells = shape_ground_cells(cached, terrain);
    if (cells > kBodyShapeMostGroundCells) {
        tell_refused(name, cells);
        return nullptr;
    }
    return shape_instance(name);
}
