// The cursor as a device of two axes, in client pixels, read through the window's
// pointer hook. It has no buttons (those come as window events) and is not listed.
#include "platform/qorl_input.h"

#include <new>

namespace {

int accept(qorl_device*)
{
    return 1;
}

void ignore(qorl_device*) {}

void destroy(qorl_device* device)
{
    delete device;
}

int read_axis(qorl_device* device, int index)
{
    qorl_input* input = device->input;
    int32_t xy[2] = {0, 0};
    if (input->pointer && !input->pointer(input->window, &xy[0], &xy[1]))
        return 0;
    return index == 0 || index == 1 ? xy[index] : 0;
}

}  // namespace

int qorl_cursor_roll_call(qorl_input* input)
{
    auto* device = new (std::nothrow) qorl_device{};
    if (!device)
        return 0;
    device->name = "cursor";
    device->axis_count = 2;
    device->enable_buttons = accept;
    device->open = accept;
    device->close = ignore;
    device->read_axis = read_axis;
    device->poll = ignore;
    device->destroy = destroy;
    qorl_device_add(input, device);
    qorl_alias("cursor-x", "cursor.axis[0]");
    qorl_alias("cursor-y", "cursor.axis[1]");
    return 1;
}
