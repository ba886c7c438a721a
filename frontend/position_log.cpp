#include "frontend/position_log.h"

#include "view/render_world.h"

#include <cmath>
#include <cstring>

float poslog_distance(float x, float y, float z)
{
    if (position_log.empty())
        return 1000000.0f;
    const position_log_entry& e = position_log.back();
    const float dx = x - e.x, dy = y - e.y, dz = z - e.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

void poslog_append(float x, float y, float z, const char* text)
{
    const char* t = text ? text : "";
    position_log.push_back({x, y, z, 0, std::string(t, strnlen(t, 1023))});
}

void poslog_clear()
{
    position_log.clear();
}
