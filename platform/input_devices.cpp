// The device list of a window: ids, button lookup by name, polling, axis handles with
// reference-counted device opens, the axis-name list and shutdown.
#include "platform/qorl_input.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr uint32_t id_step = 0x10000;
constexpr uint32_t id_last = 0x7FFF0000;
constexpr int max_button = 255;

bool id_taken(const qorl_device* list, uint32_t id)
{
    for (; list; list = list->next)
        if (list->id == id)
            return true;
    return false;
}

// "<device>.<word>[<n>]" or "<device> <word2> <n>"; n >= 0.
bool parse_part_name(const char* name, const char* dotted, const char* spaced, char* device,
                     int* number)
{
    char format[48];
    snprintf(format, sizeof format, "%%63[^.].%s[%%d]", dotted);
    if (sscanf(name, format, device, number) != 2) {
        snprintf(format, sizeof format, "%%63s %s %%d", spaced);
        if (sscanf(name, format, device, number) != 2)
            return false;
    }
    return *number >= 0;
}

}  // namespace

uint32_t qorl_device_id(const qorl_device* list, const char* name)
{
    // Unsigned sums over signed bytes: shifting a negative sum would be undefined.
    uint32_t even = 0, odd = 0;
    for (size_t i = 0; name[i]; i++) {
        uint32_t c = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(name[i])));
        if (i % 2 == 0)
            even += c;
        else
            odd += c;
    }
    uint32_t id = (((odd << 8) + even) & 0x7FFF) << 16;
    // Carrying past 0x7FFF0000 would reach bit 31, the ring's release bit.
    for (uint32_t tries = 0; tries <= 0x7FFF; tries++) {
        if (id != 0 && !id_taken(list, id))
            break;
        id = id >= id_last ? id_step : id + id_step;
    }
    return id;
}

qorl_device* qorl_find_device(const qorl_device* list, const char* name)
{
    for (; list; list = list->next)
        if (strcmp(list->name, name) == 0)
            return const_cast<qorl_device*>(list);
    return nullptr;
}

void qorl_device_add(qorl_input* input, qorl_device* device)
{
    device->input = input;
    if (device->id == 0)
        device->id = qorl_device_id(input->devices, device->name);
    device->next = input->devices;
    input->devices = device;
}

void qorl_poll_devices(qorl_input* input)
{
    for (qorl_device* d = input->devices; d; d = d->next)
        if (d->button_events)
            d->poll(d);
}

void qorl_devices_close(qorl_input* input)
{
    qorl_device* d = input->devices;
    input->devices = nullptr;
    while (d) {
        qorl_device* next = d->next;
        if (d->refcount > 0) {
            d->refcount = 0;
            d->close(d);
        }
        d->destroy(d);
        d = next;
    }
}

int qorl_device_button_code(qorl_input* input, const char* name, uint32_t* code)
{
    char device_name[64];
    int n = -1;
    if (!parse_part_name(name, "key", "button", device_name, &n) || n > max_button)
        return 0;
    qorl_device* d = qorl_find_device(input->devices, device_name);
    if (!d || n >= d->button_count)
        return 0;
    d->button_events = d->enable_buttons(d);
    *code = d->id | static_cast<uint32_t>(n);
    return 1;
}

void qorl_add_axis_name(qorl_input* input, const char* name)
{
    const char* text = qorl_intern(name);
    if (!text)
        return;
    size_t count = 0;
    while (input->axis_names && input->axis_names[count])
        count++;
    void* grown = realloc(input->axis_names, (count + 2) * sizeof(const char*));
    if (!grown)
        return;
    input->axis_names = static_cast<const char**>(grown);
    input->axis_names[count] = text;
    input->axis_names[count + 1] = nullptr;
}

qorl_axis* qorl_input_axis_open(qorl_input* input, const char* name)
{
    if (!input || !name)
        return nullptr;
    char device_name[64];
    int n = -1;
    if (!parse_part_name(qorl_resolve_alias(name), "axis", "axis", device_name, &n))
        return nullptr;
    qorl_device* d = qorl_find_device(input->devices, device_name);
    if (!d || n >= d->axis_count)
        return nullptr;
    auto* axis = new (std::nothrow) qorl_axis{d, n};
    if (!axis)
        return nullptr;
    if (d->refcount == 0 && !d->open(d)) {
        delete axis;
        return nullptr;
    }
    d->refcount++;
    return axis;
}

int qorl_axis_read(qorl_axis* axis)
{
    return axis ? axis->device->read_axis(axis->device, axis->index) : 0;
}

void qorl_axis_close(qorl_axis* axis)
{
    if (!axis)
        return;
    qorl_device* d = axis->device;
    if (--d->refcount <= 0) {
        d->close(d);
        d->refcount = 0;
    }
    delete axis;
}
