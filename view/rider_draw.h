// Drawing one bike for the world renderer. For now only the bike and its wheels are
// drawn on their bodies; the rider, head, number plates and reflections follow.
#pragma once

struct rider_slot;

// mode: 0 any rider but the viewer's, 1 the viewer's own with the rider hidden, 2 the
// viewer's own. The own view (mode not 0 and not crashed) leaves out the swingarm
// and the rear wheel, which would fill the picture from the saddle.
void rider_draw(rider_slot* rider, int mode, const float camera[3]);
