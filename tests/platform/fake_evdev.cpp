#include "fake_evdev.h"

#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

namespace bvtest {

FakeEvdev::~FakeEvdev()
{
    evdev_set_source(nullptr);
    for (auto& [path, d] : devices_)
        for (int fd : {d.read_fd, d.write_fd})
            if (fd >= 0)
                ::close(fd);
}

void FakeEvdev::plug(const std::string& path, const evdev_info& info, std::optional<evdev_state> state)
{
    Device& d = devices_[path];
    d.info = info;
    d.state = state.value_or(evdev_state{});
    if (!state)
        for (size_t code = 0; code < evdev::abs_count; code++)
            d.state.abs[code] = info.absinfo[code].value;
    d.plugged = true;
    if (std::find(order_.begin(), order_.end(), path) == order_.end())
        order_.push_back(path);
}

void FakeEvdev::unplug(const std::string& path)
{
    Device& d = devices_[path];
    d.plugged = false;
    if (d.write_fd >= 0)
        ::close(d.write_fd);
    d.write_fd = -1;
    order_.erase(std::remove(order_.begin(), order_.end(), path), order_.end());
}

void FakeEvdev::send(const std::string& path, const std::vector<evdev_event>& events)
{
    Device& d = devices_[path];
    if (d.read_fd < 0 || d.write_fd < 0)
        return;
    std::string bytes;
    for (const auto& e : events)
        bytes += evdev_encode(e);
    ssize_t written = ::write(d.write_fd, bytes.data(), bytes.size());
    (void)written;
}

int FakeEvdev::open(const std::string& path)
{
    auto it = devices_.find(path);
    // The library never opens one device twice at once.
    if (it == devices_.end() || !it->second.plugged || !it->second.openable || it->second.read_fd >= 0)
        return -1;
    int fds[2];
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0)
        return -1;
    it->second.read_fd = fds[0];
    it->second.write_fd = fds[1];
    return fds[0];
}

FakeEvdev::Device* FakeEvdev::by_fd(int fd)
{
    for (auto& [path, d] : devices_)
        if (d.read_fd == fd)
            return &d;
    return nullptr;
}

bool FakeEvdev::query(int fd, evdev_info* info)
{
    Device* d = by_fd(fd);
    if (d)
        *info = d->info;
    return d;
}

bool FakeEvdev::state(int fd, evdev_state* state)
{
    Device* d = by_fd(fd);
    if (d)
        *state = d->state;
    return d;
}

void FakeEvdev::close(int fd)
{
    Device* d = by_fd(fd);
    ::close(fd);
    if (!d)
        return;
    if (d->write_fd >= 0)
        ::close(d->write_fd);
    d->read_fd = d->write_fd = -1;
}

namespace {

void set_abs(evdev_info& info, uint16_t code, int32_t minimum, int32_t maximum, int32_t value = 0)
{
    info.types.set(evdev::ev_abs);
    info.abs.set(code);
    info.absinfo[code].minimum = minimum;
    info.absinfo[code].maximum = maximum;
    info.absinfo[code].value = value;
}

evdev_info named(const std::string& name, std::initializer_list<uint16_t> keys)
{
    evdev_info info;
    info.name = name;
    info.vendor = 0x1234;
    info.product = 0x5678;
    info.types.set(evdev::ev_syn);
    info.types.set(evdev::ev_key);
    for (uint16_t code : keys)
        info.keys.set(code);
    return info;
}

}  // namespace

evdev_info pad_info(const std::string& name)
{
    using namespace evdev;
    evdev_info info = named(name, {btn_south, btn_east, btn_north, btn_west, btn_tl, btn_tr, btn_select,
                                   btn_start, btn_mode, btn_thumbl, btn_thumbr});
    for (uint16_t code : {abs_x, abs_y, abs_rx, abs_ry})
        set_abs(info, code, -32768, 32767);
    set_abs(info, abs_z, 0, 1023);
    set_abs(info, abs_rz, 0, 1023);
    set_abs(info, abs_hat0x, -1, 1);
    set_abs(info, abs_hat0y, -1, 1);
    return info;
}

evdev_info wheel_info(const std::string& name, int buttons)
{
    evdev_info info = named(name, {});
    for (int i = 0; i < buttons; i++)
        info.keys.set(static_cast<size_t>(i < 16 ? evdev::btn_joystick + i : evdev::btn_trigger_happy + (i - 16)));
    set_abs(info, evdev::abs_x, 0, 65535, 32768);  // steering
    set_abs(info, evdev::abs_y, 0, 255, 255);      // throttle pedal at rest
    set_abs(info, evdev::abs_z, 0, 255, 255);      // brake pedal
    return info;
}

evdev_info mouse_info(const std::string& name)
{
    evdev_info info = named(name, {evdev::btn_left, evdev::btn_right, evdev::btn_middle});
    info.types.set(evdev::ev_rel);
    for (uint16_t code : {evdev::rel_x, evdev::rel_y, evdev::rel_wheel})
        info.rel.set(code);
    return info;
}

evdev_info keyboard_info(const std::string& name)
{
    evdev_info info = named(name, {});
    for (uint16_t code = 1; code < 128; code++)
        info.keys.set(code);
    return info;
}

}  // namespace bvtest
