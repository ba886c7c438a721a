#include "editor/gradient_tools.h"

void gradient_set_from_terrain() {}
void gradient_place_press() {}
void gradient_place_drag() {}
void gradient_place_release() {}
void gradient_edit_press() {}
void gradient_edit_drag() {}
