// The message line as the lower layers need it today: every message goes to the log.
#include "frontend/message_line.h"

#include "platform/qorl_log.h"

#include <cstring>

namespace {
int spinner_calls = 0;
}

void console_print(const char* text)
{
    size_t n = strlen(text);
    bool has_escape = strchr(text, '\033') != nullptr;
    bool ends_line = n > 0 && text[n - 1] == '\n';
    qorl_log("%s%s%s", text, has_escape ? "\033[0m" : "", ends_line ? "" : "\n");
}

void loading_spinner()
{
    ++spinner_calls;
}

int loading_spinner_calls()
{
    return spinner_calls;
}
