// The suspension graph: fork and shock strips side by side left of the dial, the oldest
// entry of each ring first.
#include "frontend/hud.h"
#include "frontend/hud_parts.h"

#include "gfx/fonts.h"
#include "gfx/gl_layer.h"
#include "race/game_tick.h"
#include "race/program/projection.h"

#include <algorithm>

namespace {

constexpr float kGraphScale = 0.23340251f;

int32_t oldest()
{
    const int32_t i = suspension_graph.index;
    return i >= 0 && i < kGraphLength ? i : 0;
}

float x_of(int32_t i)
{
    return float(i) / kGraphLength * 2 - 1;
}

void position_strip(const float* ring)
{
    hud_colour(1, 1, 1, 1);
    bvglBegin(GL_LINE_STRIP);
    for (int32_t i = 0; i < kGraphLength; ++i)
        bvglVertex2f(x_of(i), std::clamp(ring[(oldest() + i) % kGraphLength], -1.0f, 1.0f));
    bvglEnd();
}

// Speed strip coloured from green (ratio 0) to red (ratio 1).
void speed_strip(const float* speed, const float* ratio, float gain)
{
    bvglBegin(GL_LINE_STRIP);
    for (int32_t i = 0; i < kGraphLength; ++i) {
        const int32_t k = (oldest() + i) % kGraphLength;
        hud_colour(ratio[k], 1 - ratio[k], 0, 1);
        bvglVertex2f(x_of(i), gain * std::clamp(speed[k], -1.0f, 1.0f));
    }
    bvglEnd();
}

void labels(const char* const texts[3])
{
    static constexpr float colours[3][4] = {{1, 1, 1, 1}, {0, 1, 0, 1}, {1, 0, 0, 1}};
    for (int i = 0; i < 3; ++i) {
        bvglTranslatef(0, -2, 0);
        text_draw(colours[i][0], colours[i][1], colours[i][2], colours[i][3], texts[i]);
    }
}

}  // namespace

void hud_draw_suspension_graph()
{
    const float w = projection_half_width, h = projection_half_height;
    const suspension_graph_state& g = suspension_graph;
    bvglEnable(GL_BLEND);
    hud_bind_white();
    bvglPushMatrix();
    bvglLoadIdentity();
    bvglTranslatef(w, -h, -1);
    const float s = kGraphScale * h;
    bvglScalef(s, s, s);
    bvglTranslatef(-4, 1, 0);
    hud_colour(1, 1, 1, 1);
    hud_draw_graph_frame();
    position_strip(g.fork_position);
    speed_strip(g.fork_speed, g.fork_ratio, -1);
    bvglTranslatef(-3, 0, 0);
    hud_colour(1, 1, 1, 1);
    hud_draw_graph_frame();
    position_strip(g.shock_position);
    speed_strip(g.shock_speed, g.shock_ratio, -0.25f);
    bvglDisable(GL_BLEND);
    bvglTranslatef(1, 1, 0);
    bvglScalef(1.0f / 12, 1.0f / 12, 1.0f / 12);
    static const char* const fork[3] = {" Fork Position", " Fork Speed (High)", " Fork Speed (Low)"};
    static const char* const shock[3] = {" Swingarm Position", " Shock Speed (High)", " Shock Speed (Low)"};
    labels(fork);
    bvglTranslatef(36, 4, 0);
    labels(shock);
    bvglPopMatrix();
}
