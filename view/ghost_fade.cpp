#include "view/ghost_fade.h"

#include <algorithm>
#include <cmath>

float ghost_fade(float d, double f)
{
    if (!(f > 0))
        return 1;
    const double half = f / 2;
    const double fade = (double(d) - half) / (f - half);
    return std::isnan(fade) ? 1.0f : float(std::clamp(fade, 0.0, 1.0));
}

int rider_draw_mode(int32_t slot, int32_t viewer_slot, int32_t hide_rider_setting)
{
    if (slot != viewer_slot)
        return 0;
    return hide_rider_setting == 1 ? 1 : 2;
}

void rider_fades(const rider_fade_input& in, float fades[160])
{
    int reference = -1;
    for (int s = 0; s < 160 && reference < 0; ++s)
        if (in.present[s] && in.kinds[s] == 0)
            reference = s;
    for (int s = 0; s < 160; ++s) {
        fades[s] = 1;
        if (!in.present[s])
            continue;
        if (reference >= 0 && !in.online && in.kinds[s] == 1) {
            const float* a = in.positions[reference];
            const float* b = in.positions[s];
            const float dx = b[0] - a[0], dy = b[1] - a[1], dz = b[2] - a[2];
            fades[s] = ghost_fade(std::sqrt(dx * dx + dy * dy + dz * dz), in.fade_distance);
        } else if (in.hidden[s]) {
            fades[s] = 0;
        }
    }
}
