#include "foundation/door/door_faults.h"

namespace {

door_faults in_force;

}  // namespace

void door_set_faults(const door_faults& faults)
{
    in_force = faults;
}

const door_faults& door_faults_now()
{
    return in_force;
}

void door_before_open(const std::string& path)
{
    if (in_force.before_open)
        in_force.before_open(path);
}
