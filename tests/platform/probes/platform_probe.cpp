// Runs one process's worth of log and option calls, so that the once-per-process
// decisions (log file, options text) can be tested from a clean start.
//   log:TEXT       qorl_log("%s\n", TEXT)
//   raw:TEXT       qorl_log("%s", TEXT)
//   close          qorl_log(NULL)
//   flood:N        N lines of 1000 'x' each
//   clock:MS       the clock reads MS milliseconds from now on
//   bool:NAME:DEF  prints qorl_option_bool(NAME, DEF)
//   int:NAME:DEF   prints qorl_option_int(NAME, DEF)
//   error:TEXT     qorl_set_error(TEXT)
//   box:CAP:TEXT   qorl_message_box(CAP, "%s", TEXT)
#include "platform/qorl_log.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
int64_t fixed_clock = 0;
int64_t read_fixed_clock() { return fixed_clock; }
}  // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        size_t colon = arg.find(':');
        std::string verb = arg.substr(0, colon);
        std::string rest = colon == std::string::npos ? "" : arg.substr(colon + 1);
        if (verb == "log") {
            qorl_log("%s\n", rest.c_str());
        } else if (verb == "raw") {
            qorl_log("%s", rest.c_str());
        } else if (verb == "flood") {
            const std::string line(1000, 'x');
            for (long n = std::strtol(rest.c_str(), nullptr, 10); n > 0; --n)
                qorl_log("%s\n", line.c_str());
        } else if (verb == "close") {
            qorl_log(nullptr);
        } else if (verb == "clock") {
            fixed_clock = std::strtoll(rest.c_str(), nullptr, 10);
            qorl_set_clock(read_fixed_clock);
        } else if (verb == "bool" || verb == "int") {
            size_t split = rest.rfind(':');
            std::string name = rest.substr(0, split);
            int def = std::atoi(rest.c_str() + split + 1);
            int value = verb == "bool" ? qorl_option_bool(name.c_str(), def)
                                       : qorl_option_int(name.c_str(), def);
            printf("%d\n", value);
        } else if (verb == "error") {
            qorl_set_error(rest.c_str());
            printf("%s\n", qorl_last_error());
        } else if (verb == "box") {
            size_t split = rest.find(':');
            qorl_message_box(rest.substr(0, split).c_str(), "%s", rest.c_str() + split + 1);
        } else {
            fprintf(stderr, "platform_probe: unknown command %s\n", argv[i]);
            return 2;
        }
    }
    return 0;
}
