#include "race/program/settings_hooks.h"

namespace {
void nothing() {}
}  // namespace

settings_hooks_table settings_hooks = {nothing, nothing, nothing, nothing, nothing};
