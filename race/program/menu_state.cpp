#include "race/program/menu_state.h"

int menu_screen = -1;
int32_t menu_item = 0;
