// The pointer tools for the track's objects: timing gates (tool 11), billboards (12) and
// statues (13). A press picks (or, with billboards, copies); each tick while the main
// button is held drags what the press took.
#pragma once

void gate_press();
void gate_drag();
void billboard_press();
void billboard_drag();
// A copy of the selected billboard at (x, z), which becomes copied_billboard.
void billboard_copy_at(float x, float z);
void statue_press();
void statue_drag();
