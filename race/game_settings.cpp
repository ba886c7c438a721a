#include "race/game_settings.h"

game_settings_values game_settings;
int32_t selected_track = -1;
