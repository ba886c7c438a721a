// The system's event devices: /dev/input/event<N> in numeric order, opened read-only
// and non-blocking with their stamps switched to the monotonic clock that qorl_time
// reads. Devices are never grabbed: other programs keep seeing them.
#include "platform/evdev_device.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr char input_folder[] = "/dev/input";

template <size_t N>
bool read_bits(int fd, unsigned type, std::bitset<N>* bits)
{
    unsigned char raw[(N + 7) / 8] = {};
    int got = ioctl(fd, type == 0 ? EVIOCGBIT(0, sizeof raw) : EVIOCGBIT(type, sizeof raw), raw);
    if (got < 0)
        return false;
    bits->reset();
    for (size_t i = 0; i < N && i / 8 < static_cast<size_t>(got); i++)
        if (raw[i / 8] & (1u << (i % 8)))
            bits->set(i);
    return true;
}

std::string read_text(int fd, unsigned long request)
{
    char text[256] = {};
    if (ioctl(fd, request, text) < 0)
        return {};
    text[sizeof text - 1] = 0;
    return text;
}

class system_source final : public evdev_source {
public:
    std::vector<std::string> list() override
    {
        std::vector<std::pair<long, std::string>> numbered;
        DIR* dir = opendir(input_folder);
        if (!dir)
            return {};
        while (dirent* entry = readdir(dir)) {
            if (strncmp(entry->d_name, "event", 5) != 0)
                continue;
            char* end = nullptr;
            long n = strtol(entry->d_name + 5, &end, 10);
            if (end == entry->d_name + 5 || *end != 0)
                continue;
            numbered.emplace_back(n, std::string(input_folder) + "/" + entry->d_name);
        }
        closedir(dir);
        std::sort(numbered.begin(), numbered.end());
        std::vector<std::string> paths;
        for (auto& entry : numbered)
            paths.push_back(std::move(entry.second));
        return paths;
    }

    int open(const std::string& path) override
    {
        int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return -1;
        // Without it the stamps are wall-clock time; the stick reader's stamp adjustment
        // then still keeps them out of the future.
        int clock = CLOCK_MONOTONIC;
        ioctl(fd, EVIOCSCLOCKID, &clock);
        return fd;
    }

    bool query(int fd, evdev_info* info) override
    {
        input_id id{};
        if (ioctl(fd, EVIOCGID, &id) < 0 || !read_bits(fd, 0, &info->types))
            return false;
        info->bustype = id.bustype;
        info->vendor = id.vendor;
        info->product = id.product;
        info->version = id.version;
        info->name = read_text(fd, EVIOCGNAME(256));
        info->phys = read_text(fd, EVIOCGPHYS(256));
        info->uniq = read_text(fd, EVIOCGUNIQ(256));
        if (info->types.test(EV_KEY))
            read_bits(fd, EV_KEY, &info->keys);
        if (info->types.test(EV_REL))
            read_bits(fd, EV_REL, &info->rel);
        if (info->types.test(EV_ABS) && read_bits(fd, EV_ABS, &info->abs))
            for (int code = 0; code < evdev::abs_count; code++) {
                input_absinfo abs{};
                if (!info->abs.test(static_cast<size_t>(code)) ||
                    ioctl(fd, EVIOCGABS(code), &abs) < 0)
                    continue;
                info->absinfo[static_cast<size_t>(code)] = {abs.value, abs.minimum, abs.maximum,
                                                            abs.fuzz, abs.flat, abs.resolution};
            }
        return true;
    }

    bool state(int fd, evdev_state* state) override
    {
        unsigned char keys[evdev::key_count / 8] = {};
        if (ioctl(fd, EVIOCGKEY(sizeof keys), keys) < 0)
            return false;
        state->keys.reset();
        for (size_t i = 0; i < evdev::key_count; i++)
            if (keys[i / 8] & (1u << (i % 8)))
                state->keys.set(i);
        for (int code = 0; code < evdev::abs_count; code++) {
            input_absinfo abs{};
            state->abs[static_cast<size_t>(code)] = ioctl(fd, EVIOCGABS(code), &abs) < 0 ? 0 : abs.value;
        }
        return true;
    }

    void close(int fd) override { ::close(fd); }
};

}  // namespace

evdev_source& evdev_system_source()
{
    static system_source source;
    return source;
}
