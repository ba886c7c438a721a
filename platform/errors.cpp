// The last error and the fatal message box. There is no modal box here: the caption
// and text go to standard error and to the log.
#include "platform/qorl_log.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

namespace {
std::mutex error_mutex;
std::string last_error = "Unknown";
}  // namespace

void qorl_set_error(const char* text)
{
    qorl_log("Error: %s\n", text);
    std::lock_guard lock(error_mutex);
    last_error = text;
}

const char* qorl_last_error()
{
    std::lock_guard lock(error_mutex);
    return last_error.c_str();
}

int qorl_message_box(const char* caption, const char* format, ...)
{
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    fprintf(stderr, "%s: %s", caption, text);
    size_t n = 0;
    while (text[n])
        ++n;
    if (n == 0 || text[n - 1] != '\n')
        fputc('\n', stderr);
    fflush(stderr);
    qorl_log("%s: %s%s", caption, text, (n && text[n - 1] == '\n') ? "" : "\n");
    return 1;
}
