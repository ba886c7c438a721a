// The shared log file. It opens lazily: the first message decides. A first message
// "QORL_LOGFILE=<path>" offers a file name (QORL_LOGFILE in the environment wins);
// any other first message with QORL_LOGFILE unset leaves the log off for the run.
// A caller may instead hand over a file it opened itself (qorl_log_use_file).
// Each written line is "[h:mm:ss.cc] " + the message, flushed at once, until the file
// reaches qorl_log_cap_bytes.
#include "platform/qorl_log.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr char offer_prefix[] = "QORL_LOGFILE=";
constexpr size_t offer_length = sizeof offer_prefix - 1;
constexpr char screen_only = 0x13;

// A leaf lock: the message and audio threads log too, and shutdown closes the file.
std::mutex log_mutex;
bool log_opened = false;
FILE* log_stream = nullptr;
long log_bytes = 0;   // written since the file was opened (appending starts at its size)

std::string format_message(const char* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    int length = vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length < 0)
        return {};
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    vsnprintf(buffer.data(), buffer.size(), format, args);
    return std::string(buffer.data(), static_cast<size_t>(length));
}

void write_line(const std::string& message)
{
    if (!log_stream || message.empty() || message[0] == screen_only)
        return;
    int32_t s = 0, us = 0;
    qorl_time(&s, &us);
    int hours = s / 3600;
    char prefix[48];
    const int n = snprintf(prefix, sizeof prefix, "[%d:%02d:%02d.%02d] ", hours, s / 60 - hours * 60, s % 60,
                           us / 10000);
    const long length = long(n) + long(message.size());
    const long full_length = long(n) + long(sizeof qorl_log_full_line - 1);
    if (log_bytes + length + full_length > qorl_log_cap_bytes) {
        // The last line the file gets; the cap leaves room for it.
        fwrite(prefix, 1, size_t(n), log_stream);
        fwrite(qorl_log_full_line, 1, sizeof qorl_log_full_line - 1, log_stream);
        fclose(log_stream);
        log_stream = nullptr;
        return;
    }
    fwrite(prefix, 1, size_t(n), log_stream);
    fwrite(message.data(), 1, message.size(), log_stream);
    fflush(log_stream);
    log_bytes += length;
}

bool is_offer(const std::string& message)
{
    return message.compare(0, offer_length, offer_prefix) == 0;
}

void opened(FILE* stream, const std::string& name)
{
    log_stream = stream;
    log_bytes = 0;
    if (log_stream && fseek(log_stream, 0, SEEK_END) == 0)
        log_bytes = std::max(ftell(log_stream), 0L);
    write_line("Logfile \"" + name + "\" opened\n");
    write_line("QORL 0.31\n");
}

// The environment's file, else the one offered by path (null for none).
void open_log(const char* offered)
{
    const char* env_path = getenv("QORL_LOGFILE");
    const char* env_flags = getenv("QORL_LOGFILE_FLAGS");
    log_opened = true;

    std::string path;
    if (env_path)
        path = env_path;
    else if (offered)
        path = offered;
    else
        return;

    std::string mode = "w";
    if (path.compare(0, 2, ">>") == 0) {
        mode = "a";
        path.erase(0, 2);
    } else if (path.compare(0, 1, ">") == 0) {
        path.erase(0, 1);
    }
    if (env_flags)
        mode = env_flags;
    opened(fopen(path.c_str(), mode.c_str()), path);
}

}  // namespace

void qorl_log(const char* format, ...)
{
    std::lock_guard lock(log_mutex);
    if (!format) {
        if (log_stream)
            fclose(log_stream);
        log_stream = nullptr;
        log_opened = true;
        return;
    }

    va_list args;
    va_start(args, format);
    std::string message = format_message(format, args);
    va_end(args);

    if (!log_opened)
        open_log(is_offer(message) ? message.c_str() + offer_length : nullptr);
    // A file-name offer is never itself a line of the log.
    if (is_offer(message))
        return;
    write_line(message);
}

void qorl_log_use_file(FILE* file, const char* name)
{
    std::lock_guard lock(log_mutex);
    if (log_opened || getenv("QORL_LOGFILE")) {
        if (file)
            fclose(file);
        if (!log_opened)
            open_log(nullptr);
        return;
    }
    log_opened = true;
    if (file)
        opened(file, name ? name : "");
}
