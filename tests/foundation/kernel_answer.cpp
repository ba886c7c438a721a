// The foundation's tests run under each answer the kernel can give openat2 (the suite
// registers them three times): the kernel's own, ENOSYS as an older kernel gives it and
// EPERM as a sandbox's filter does. Each process, the re-run ones of fresh-process
// scenarios too, starts under the answer of its run.
#include "fixtures.h"

namespace {

[[maybe_unused]] const bool answered = [] {
    door_set_faults(fixtures::under_kernel());
    return true;
}();

}  // namespace
