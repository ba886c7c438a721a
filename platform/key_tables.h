// The fixed key-name tables: the four fixed names, the keyboard's own names by scan
// code, and the extra (name, scan) pairs that are accepted whatever the layout.
#pragma once
#include <cstdint>

struct qorl_fixed_name {
    uint32_t code;
    const char* name;
};
struct qorl_extra_name {
    const char* name;
    uint32_t scan;
};

extern const qorl_fixed_name qorl_fixed_names[4];
extern const qorl_extra_name qorl_extra_names[98];

// The keyboard's name of scan 0..0x1FF: "" when it has none of its own.
const char* qorl_system_key_name(uint32_t scan);
