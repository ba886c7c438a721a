// The console screen's keys: the input line, its history and the scroll-back.
#include "frontend/menu.h"

#include "race/program/controls.h"

#include <algorithm>
#include <cstring>

namespace {
char console_buffer[kConsoleLineSize] = {};
constexpr int kConsoleScrollLimit = 950;

void load_entry(int index)
{
    ui_text_set(&console_field, console_history[index]);
    console_field.cursor = std::min(console_field.cursor, int(strlen(console_field.buffer)));
}
}  // namespace

ui_text_field console_field = {"> ", kConsoleLineSize - 1, console_buffer, 0, 1, {-1, -1, -1, -1}};
char console_history[kConsoleHistory][kConsoleLineSize] = {};
int32_t console_history_count = 1;
int32_t console_history_index = 0;
int32_t console_scroll = 0;

void console_key(int32_t key)
{
    if (key == menu_keys.enter || key == menu_keys.keypad_enter) {
        if (!menu_seams.console_execute || !menu_seams.console_execute(console_field.buffer))
            return;
        strcpy(console_history[0], console_field.buffer);
        console_history_count = std::min(console_history_count + 1, kConsoleHistory);
        for (int i = console_history_count - 1; i > 0; --i)
            strcpy(console_history[i], console_history[i - 1]);
        console_history[0][0] = 0;
        console_history_index = 0;
        console_field.buffer[0] = 0;
        console_field.cursor = 0;
    } else if (key == menu_keys.up || key == menu_keys.down) {
        strcpy(console_history[console_history_index], console_field.buffer);
        console_history_index = key == menu_keys.up ? std::min(console_history_index + 1, console_history_count - 1)
                                                    : std::max(console_history_index - 1, 0);
        load_entry(console_history_index);
    } else if (key == menu_keys.page_up) {
        console_scroll = std::min(console_scroll + 1, kConsoleScrollLimit);
    } else if (key == menu_keys.page_down) {
        console_scroll = std::max(console_scroll - 1, 0);
    } else {
        ui_text_key(&console_field, key);
    }
}
