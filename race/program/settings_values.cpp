#include "race/program/settings_values.h"

#include <cstring>

setup_values setup;
graphics_values graphics_settings;
plain_settings plain_values;
// The port is the client's default.
char server_name[kServerNameSize] = "localhost";
char server_name_hist[kServerHistory][kServerNameSize];
int32_t server_history_cursor = -1;

void server_history_push()
{
    if (server_name[0] == '\0' || strncmp(server_name, server_name_hist[0], kServerNameSize - 1) == 0)
        return;
    memmove(server_name_hist[1], server_name_hist[0], sizeof server_name_hist[0] * (kServerHistory - 1));
    // The field may be unterminated after a widget edit: at most 127 characters go in.
    strncpy(server_name_hist[0], server_name, kServerNameSize - 1);
    server_name_hist[0][kServerNameSize - 1] = '\0';
    server_history_cursor = -1;
}
