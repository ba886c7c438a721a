// The bounding sphere of a part and what its skin weights allow, read by the drawing
// to leave out parts that lie wholly outside the view.
#include "gfx/model.h"

#include <algorithm>
#include <cmath>

void model_bounds(model* m)
{
    m->bounds_known = 0;
    const int32_t n = m->vertex_count;
    if (n <= 0 || !m->positions)
        return;
    float low[3], high[3];
    for (int k = 0; k < 3; ++k)
        low[k] = high[k] = m->positions[k];
    for (int32_t v = 0; v < n; ++v)
        for (int k = 0; k < 3; ++k) {
            const float x = m->positions[3 * v + k];
            if (!std::isfinite(x))
                return;
            low[k] = std::min(low[k], x);
            high[k] = std::max(high[k], x);
        }
    double r2 = 0;
    for (int k = 0; k < 3; ++k)
        m->bound_centre[k] = float((double(low[k]) + high[k]) / 2);
    for (int32_t v = 0; v < n; ++v) {
        double d2 = 0;
        for (int k = 0; k < 3; ++k) {
            const double d = double(m->positions[3 * v + k]) - m->bound_centre[k];
            d2 += d * d;
        }
        r2 = std::max(r2, d2);
    }
    m->bound_radius = float(std::sqrt(r2));
    m->skin_bones = 0;
    if (m->bone_weights && m->bone_numbers) {
        for (int32_t v = 0; v < n && m->skin_bones >= 0; ++v) {
            double sum = 0;
            for (int i = 0; i < 4; ++i) {
                const float w = m->bone_weights[4 * v + i];
                const int32_t b = m->bone_numbers[4 * v + i];
                if (!(w >= 0)) {
                    m->skin_bones = -1;
                    break;
                }
                sum += w;
                // The shader clamps a bone number into its arrays; a weight on a bone
                // outside them names one of those.
                if (w > 0)
                    m->skin_bones = std::max(m->skin_bones, b < 0 || b >= model_max_bones ? model_max_bones : b + 1);
            }
            if (m->skin_bones >= 0 && std::fabs(sum - 1) > 1e-3)
                m->skin_bones = -1;
        }
    }
    m->bounds_known = 1;
}
