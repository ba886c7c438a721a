// Game controllers through the kernel's event devices: what a device offers, how its
// events arrive, how it is classified, and where devices come from (/dev/input, or a
// test's stand-ins). Nothing here needs the kernel headers; the evdev_*.cpp files
// that talk to the kernel keep them to themselves.
#pragma once
#include <array>
#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

struct qorl_input;

namespace evdev {

// The kernel's numbers for the event types and codes used here (checked against
// linux/input.h where it is included).
constexpr uint16_t ev_syn = 0x00, ev_key = 0x01, ev_rel = 0x02, ev_abs = 0x03;
constexpr uint16_t syn_report = 0, syn_dropped = 3;
constexpr int key_count = 0x300, abs_count = 0x40, rel_count = 0x10, type_count = 0x20;

constexpr uint16_t btn_left = 0x110, btn_right = 0x111, btn_middle = 0x112;
constexpr uint16_t btn_joystick = 0x120;  // BTN_TRIGGER
constexpr uint16_t btn_south = 0x130, btn_east = 0x131, btn_north = 0x133, btn_west = 0x134;
constexpr uint16_t btn_tl = 0x136, btn_tr = 0x137, btn_tl2 = 0x138, btn_tr2 = 0x139;
constexpr uint16_t btn_select = 0x13a, btn_start = 0x13b, btn_mode = 0x13c;
constexpr uint16_t btn_thumbl = 0x13d, btn_thumbr = 0x13e;
constexpr uint16_t btn_gear_down = 0x150, btn_gear_up = 0x151;
constexpr uint16_t btn_dpad_up = 0x220, btn_dpad_down = 0x221, btn_dpad_left = 0x222,
                   btn_dpad_right = 0x223;
constexpr uint16_t btn_trigger_happy = 0x2c0;
constexpr uint16_t key_a = 30;

constexpr uint16_t abs_x = 0x00, abs_y = 0x01, abs_z = 0x02, abs_rx = 0x03, abs_ry = 0x04,
                   abs_rz = 0x05, abs_gas = 0x09, abs_brake = 0x0a, abs_hat0x = 0x10,
                   abs_hat0y = 0x11;
constexpr uint16_t rel_x = 0x00, rel_y = 0x01, rel_wheel = 0x08;

}  // namespace evdev

struct evdev_absinfo {
    int32_t value = 0, minimum = 0, maximum = 0, fuzz = 0, flat = 0, resolution = 0;
};

struct evdev_info {
    std::string name, phys, uniq;
    uint16_t bustype = 0, vendor = 0, product = 0, version = 0;
    std::bitset<evdev::type_count> types;
    std::bitset<evdev::key_count> keys;
    std::bitset<evdev::abs_count> abs;
    std::bitset<evdev::rel_count> rel;
    std::array<evdev_absinfo, evdev::abs_count> absinfo{};
};

// Buttons held and absolute axis values right now.
struct evdev_state {
    std::bitset<evdev::key_count> keys;
    std::array<int32_t, evdev::abs_count> abs{};
};

struct evdev_event {
    int64_t seconds = 0;
    int64_t microseconds = 0;
    uint16_t type = 0;
    uint16_t code = 0;
    int32_t value = 0;
};

// pad: served as an "XInputGamepad%d"; stick: wheels, joysticks and other game
// controllers; mouse: relative pointers; other: never opened for reading (keyboards).
enum class evdev_class { other, pad, stick, mouse };
evdev_class evdev_classify(const evdev_info& info);

// Where event devices come from. The system's source lists /dev/input/event*.
class evdev_source {
public:
    virtual ~evdev_source() = default;
    // Candidate device paths in a stable order.
    virtual std::vector<std::string> list() = 0;
    // A non-blocking descriptor whose event stamps are on qorl_time's clock; -1 when
    // the device cannot be opened.
    virtual int open(const std::string& path) = 0;
    virtual bool query(int fd, evdev_info* info) = 0;
    virtual bool state(int fd, evdev_state* state) = 0;
    virtual void close(int fd) = 0;
};
evdev_source& evdev_current_source();
// Tests put stand-ins in place; null restores the system's source.
void evdev_set_source(evdev_source* source);

// Events waiting on a non-blocking descriptor: the count (0 when none wait), or -1
// when the device is gone (unplugged, or the stream ended).
int evdev_read(int fd, evdev_event* events, int max);
// The kernel's bytes for one event (struct input_event), for recorded streams.
std::string evdev_encode(const evdev_event& event);

// Linear map of value in [minimum, maximum] onto [low, high], clamped; an empty range
// gives the middle.
int32_t evdev_scale(int32_t value, int32_t minimum, int32_t maximum, int32_t low, int32_t high);

// Milliseconds of an event stamp (on qorl_time's clock) and of now.
int64_t evdev_event_milliseconds(const evdev_event& event);

// One opened device that may go away and come back. A lost device is looked for
// again at most once a second, among the listed devices no other link holds.
class evdev_link {
public:
    evdev_link() = default;
    ~evdev_link();
    evdev_link(const evdev_link&) = delete;
    evdev_link& operator=(const evdev_link&) = delete;

    // Takes over an open descriptor of the device at path.
    void attach(const std::string& path, int fd);
    void detach();
    bool connected() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }
    // As evdev_read; a lost device is detached.
    int read(evdev_event* events, int max);
    // Reattaches to the first free device that `wanted` accepts; fills info. False
    // when none was found or the last search was under a second ago.
    template <typename Wanted>
    bool find_again(Wanted wanted, evdev_info* info);

private:
    bool search_due();
    int fd_ = -1;
    std::string path_;
    int64_t next_search_ms_ = INT64_MIN;
};

// Paths that some link holds, so two devices never share one descriptor's events.
bool evdev_path_in_use(const std::string& path);

// One device found by a scan: open, queried, classified. The roll calls take the ones
// they want (attaching fd to a link) and close the rest.
struct evdev_found {
    std::string path;
    int fd = -1;
    evdev_info info;
    evdev_class kind = evdev_class::other;
};
// Every listed device that no link holds and that could be opened and queried.
std::vector<evdev_found> evdev_scan();
void evdev_close_unused(std::vector<evdev_found>& found);

template <typename Wanted>
bool evdev_link::find_again(Wanted wanted, evdev_info* info)
{
    if (connected() || !search_due())
        return false;
    std::vector<evdev_found> found = evdev_scan();
    bool attached = false;
    for (auto& f : found)
        if (!attached && wanted(f.info, f.kind)) {
            attach(f.path, f.fd);
            *info = f.info;
            f.fd = -1;
            attached = true;
        }
    evdev_close_unused(found);
    return attached;
}

// The roll calls with their options given, for tests; the qorl_ calls read them.
int evdev_stick_roll_call(qorl_input* input, bool xinput_on, bool sticks_only);
int evdev_pad_roll_call(qorl_input* input);
