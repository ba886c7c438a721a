// Codes to names and back: the fixed names, the keyboard names by scan code, the extra
// pairs, "0x%x" for unnamed scans, and "<device> button <n>" for device buttons.
#include "platform/key_tables.h"
#include "platform/qorl_events.h"
#include "platform/qorl_input.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>
#include <set>
#include <string>

namespace {

// A set's nodes never move, so the texts handed out stay valid for the whole run.
std::set<std::string, std::less<>>& interned()
{
    static std::set<std::string, std::less<>> texts;
    return texts;
}

unsigned char loose(unsigned char c)
{
    if (c == '_' || isspace(c))
        return ' ';
    return static_cast<unsigned char>(tolower(c));
}

using compare_fn = int (*)(const char*, const char*);

// Fixed, keyboard and extra names in that order; empty keyboard slots never match.
bool find_in_tables(const char* name, compare_fn compare, uint32_t* code)
{
    for (const auto& fixed : qorl_fixed_names)
        if (compare(fixed.name, name) == 0) {
            *code = fixed.code;
            return true;
        }
    for (uint32_t scan = 0; scan < QORL_SCAN_LIMIT; scan++) {
        const char* system = qorl_system_key_name(scan);
        if (system[0] && compare(system, name) == 0) {
            *code = QORL_KEY_BASE + scan;
            return true;
        }
    }
    for (const auto& extra : qorl_extra_names)
        if (compare(extra.name, name) == 0) {
            *code = QORL_KEY_BASE + extra.scan;
            return true;
        }
    return false;
}

// "0x" and hex digits, as "0x%x" reads it; the value saturates rather than wraps.
bool read_hex_name(const char* name, uint32_t* value)
{
    if (name[0] != '0' || name[1] != 'x' || !isxdigit(static_cast<unsigned char>(name[2])))
        return false;
    uint64_t v = 0;
    for (const char* p = name + 2; isxdigit(static_cast<unsigned char>(*p)); p++) {
        int c = tolower(static_cast<unsigned char>(*p));
        v = v * 16 + static_cast<uint64_t>(c <= '9' ? c - '0' : c - 'a' + 10);
        if (v > 0xFFFFFFFFu)
            v = 0xFFFFFFFFu + 1ull;
    }
    if (v > 0xFFFFFFFFu)
        return false;
    *value = static_cast<uint32_t>(v);
    return true;
}

const char* intern_formatted(const char* format, const char* text, unsigned number)
{
    char buffer[1100];
    if (text)
        snprintf(buffer, sizeof buffer, format, text, number);
    else
        snprintf(buffer, sizeof buffer, format, number);
    return qorl_intern(buffer);
}

}  // namespace

const char* qorl_intern(const char* text)
{
    if (!text)
        return nullptr;
    try {
        return interned().emplace(text).first->c_str();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

int qorl_name_compare(const char* a, const char* b)
{
    for (;; a++, b++) {
        int d = loose(static_cast<unsigned char>(*a)) - loose(static_cast<unsigned char>(*b));
        if (d != 0 || *a == 0)
            return d;
    }
}

const char* qorl_input_key_name(qorl_input* input, uint32_t code)
{
    for (const auto& fixed : qorl_fixed_names)
        if (fixed.code == code)
            return qorl_intern(fixed.name);
    if (code < QORL_KEY_BASE || code >= QORL_KEY_BASE + QORL_SCAN_LIMIT) {
        // Device buttons only: ids sit in bits 16..30 and buttons in the low byte.
        if (!input || (code & 0xFFFF0000u) == 0 || (code & 0xFF00u) != 0)
            return nullptr;
        for (const qorl_device* d = input->devices; d; d = d->next)
            if (d->id == (code & 0xFFFF0000u))
                return intern_formatted("%.1000s button %u", d->name, code & 0xFFu);
        return nullptr;
    }
    uint32_t scan = code - QORL_KEY_BASE;
    const char* system = qorl_system_key_name(scan);
    if (system[0])
        return qorl_intern(system);
    for (const auto& extra : qorl_extra_names)
        if (extra.scan == scan)
            return qorl_intern(extra.name);
    return intern_formatted("0x%x", nullptr, scan);
}

int qorl_input_key_code(qorl_input* input, uint32_t* code, const char* name)
{
    if (!name)
        return 0;
    name = qorl_resolve_alias(name);
    if (find_in_tables(name, strcmp, code) || find_in_tables(name, qorl_name_compare, code))
        return 1;
    uint32_t value = 0;
    if (read_hex_name(name, &value)) {
        if (value >= QORL_SCAN_LIMIT)
            return 0;
        *code = QORL_KEY_BASE + value;
        return 1;
    }
    return input ? qorl_device_button_code(input, name, code) : 0;
}
