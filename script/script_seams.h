// The track script's entry points for the simulator, and the switch that lets a
// script broadcast its messages to the game server.
#pragma once
#include <cstdint>

// Off: broadcast_script_message does nothing.
extern int script_broadcasting;

// The handler trampolines the simulator calls.
void script_call_frame_handler();
void script_call_tic_handler();
void script_call_message_handler(const char* text);

// Installs the script's entry points into the race's tables (start-up).
void script_install();
