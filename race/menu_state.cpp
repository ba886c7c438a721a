#include "race/menu_state.h"

int menu_screen = -1;
