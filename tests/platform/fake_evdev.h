// Stand-in event devices for the tests: each is described by its capabilities and
// state, and its descriptor is the read end of a pipe that the test writes recorded
// kernel events into. Unplugging closes the write end, as a device that goes away.
#pragma once
#include "platform/evdev_device.h"
#include "platform/qorl_log.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace bvtest {

class FakeEvdev final : public evdev_source {
public:
    FakeEvdev() { evdev_set_source(this); }
    ~FakeEvdev() override;
    FakeEvdev(const FakeEvdev&) = delete;
    FakeEvdev& operator=(const FakeEvdev&) = delete;

    // Plugs in, or changes a plugged device. Without a state the device rests at the
    // values its axis ranges report.
    void plug(const std::string& path, const evdev_info& info, std::optional<evdev_state> state = {});
    void unplug(const std::string& path);
    void refuse_open(const std::string& path) { devices_[path].openable = false; }
    // Writes events to the device's open stream (dropped when nobody has it open).
    void send(const std::string& path, const std::vector<evdev_event>& events);
    bool is_open(const std::string& path) { return devices_[path].read_fd >= 0; }

    std::vector<std::string> list() override { return order_; }
    int open(const std::string& path) override;
    bool query(int fd, evdev_info* info) override;
    bool state(int fd, evdev_state* state) override;
    void close(int fd) override;

private:
    struct Device {
        evdev_info info;
        evdev_state state;
        int read_fd = -1;
        int write_fd = -1;
        bool openable = true;
        bool plugged = false;
    };
    Device* by_fd(int fd);
    std::vector<std::string> order_;
    std::map<std::string, Device> devices_;
};

// Capabilities of typical devices.
evdev_info pad_info(const std::string& name);
evdev_info wheel_info(const std::string& name, int buttons = 12);
evdev_info mouse_info(const std::string& name);
evdev_info keyboard_info(const std::string& name);

inline evdev_event event_at(uint16_t type, uint16_t code, int32_t value, int64_t ms)
{
    return {ms / 1000, ms % 1000 * 1000, type, code, value};
}
inline evdev_event key_event(uint16_t code, int32_t value, int64_t ms = 0)
{
    return event_at(evdev::ev_key, code, value, ms);
}
inline evdev_event abs_event(uint16_t code, int32_t value, int64_t ms = 0)
{
    return event_at(evdev::ev_abs, code, value, ms);
}
inline evdev_event rel_event(uint16_t code, int32_t value, int64_t ms = 0)
{
    return event_at(evdev::ev_rel, code, value, ms);
}
inline evdev_event syn_event(uint16_t code = evdev::syn_report, int64_t ms = 0)
{
    return event_at(evdev::ev_syn, code, 0, ms);
}

// The library clock, set by hand while one exists.
inline int64_t fake_now = 0;
struct FakeClock {
    explicit FakeClock(int64_t start_ms)
    {
        fake_now = start_ms;
        qorl_set_clock([] { return fake_now; });
    }
    ~FakeClock() { qorl_set_clock(nullptr); }
    void advance(int64_t ms) { fake_now += ms; }
};

}  // namespace bvtest
