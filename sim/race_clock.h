// The game tick's number, counted from 0 at the race reset. The race core advances it
// after each game tick; the rider simulation reads it (bike contacts stamp it, the
// contact refresh runs once per value).
#pragma once
#include <cstdint>

extern int32_t current_tick;
