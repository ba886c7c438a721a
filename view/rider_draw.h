// Drawing one bike and its rider for the world renderer: the bike and wheel sets on
// their bodies, the skinned rider on the posed bones, the head, the number plates, the
// reflection pass and, at debug level 2, the markers of an automatic rider's path.
#pragma once

struct rider_slot;

// mode: 0 any rider but the viewer's, 1 the viewer's own with the rider hidden, 2 the
// viewer's own. The own view (mode not 0 and not crashed) leaves out the swingarm
// and the rear wheel, which would fill the picture from the saddle. The physics
// bodies are only read.
void rider_draw(rider_slot* rider, int mode, const float camera[3]);

// A debug marker: a black 3 x 3 ft square at the point and a coloured 2 x 2 ft square
// h above and below it.
void path_marker(const float point[3], float r, float g, float b, float h);
