#include "frontend/menu.h"
void menu_draw() {}
