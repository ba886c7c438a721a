#include "race/net/player_setup.h"

player_identity player_setup = {"yz250f(2017)", nullptr, nullptr, nullptr, nullptr, "999", "Quinlo Dust"};
