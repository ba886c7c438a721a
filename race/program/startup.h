// The program's entry: start-up, then (as the program grows) the main loop and shutdown.
#pragma once
#include <cstdint>

inline constexpr double tick_length = 1.0 / 128.0;
inline constexpr char build_string[] = "2023-06-18-1650 snapshot";

struct qorl_window;

// The program's window while it is open; null before and after.
extern qorl_window* program_window;


int brovanta_main(int argc, char** argv);
