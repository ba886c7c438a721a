// The one way to show a message to the user, and the busy indicator of long scans.
#pragma once

void console_print(const char* text);
void loading_spinner();
int loading_spinner_calls();
