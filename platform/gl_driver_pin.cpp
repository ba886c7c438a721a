#include "platform/gl_driver_pin.h"

#include <dlfcn.h>
#include <link.h>

namespace {

int pin(struct dl_phdr_info* info, size_t, void*)
{
    // RTLD_NOLOAD only finds what is already there; RTLD_NODELETE sticks to it for good.
    // The handle is deliberately kept: closing it is what the flag forbids anyway.
    if (info->dlpi_name && info->dlpi_name[0])
        dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    return 0;
}

}  // namespace

void qorl_gl_pin_driver_libraries()
{
    dl_iterate_phdr(pin, nullptr);
}
