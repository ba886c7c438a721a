#include "race/program/controls.h"

control_entry control_list[control_list_size] = {
    {0, 1, 0}, {0, -1, 0}, {1, 1, 0}, {2, 1, 0}, {3, 1, 0}, {4, 1, 0},
    {4, -1, 0}, {5, 1, 0}, {6, 1, 0}, {7, 1, 0}, {8, -1, 0}, {8, 1, 0},
};

int menu_cursor_held = 0;
int32_t pointer_x = 0;
int32_t pointer_y = 0;
menu_key_codes menu_keys = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
