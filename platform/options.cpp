// Platform options: items "[name:value]" anywhere in QORL_OPTIONS, read once.
// The first occurrence of a key wins; booleans are the exact words yes/on/no/off.
#include "platform/qorl_log.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const std::string& options_text()
{
    static const std::string text = [] {
        const char* value = getenv("QORL_OPTIONS");
        return std::string(value ? value : "");
    }();
    return text;
}

// The text just after "[name:", or null when the key is absent.
const char* find_value(const char* name)
{
    std::string key = "[";
    key.append(name, strnlen(name, 60));
    key += ':';
    size_t at = options_text().find(key);
    if (at == std::string::npos)
        return nullptr;
    return options_text().c_str() + at + key.size();
}

bool starts_with(const char* text, const char* word)
{
    return strncmp(text, word, strlen(word)) == 0;
}

}  // namespace

int qorl_option_bool(const char* name, int default_value)
{
    const char* value = find_value(name);
    if (!value)
        return default_value;
    if (starts_with(value, "yes]") || starts_with(value, "on]"))
        return 1;
    if (starts_with(value, "no]") || starts_with(value, "off]"))
        return 0;
    qorl_log("unrecognized setting for %s\n", name);
    return default_value;
}

int qorl_option_int(const char* name, int default_value)
{
    const char* p = find_value(name);
    if (!p)
        return default_value;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    if (*p < '0' || *p > '9') {
        qorl_log("unrecognized setting for %s\n", name);
        return default_value;
    }
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (value <= static_cast<long long>(INT_MAX) + 1)
            value = value * 10 + (*p - '0');
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}
