// Opened event devices: which paths are held, scanning for devices, and links that
// survive a device being unplugged and plugged in again.
#include "platform/evdev_device.h"
#include "platform/qorl_log.h"

#include <set>

namespace {

evdev_source* test_source = nullptr;

// Main thread only, like every device call.
std::set<std::string>& held_paths()
{
    static std::set<std::string> paths;
    return paths;
}

constexpr int64_t search_interval_ms = 1000;

}  // namespace

evdev_source& evdev_system_source();

evdev_source& evdev_current_source()
{
    return test_source ? *test_source : evdev_system_source();
}

void evdev_set_source(evdev_source* source)
{
    test_source = source;
}

bool evdev_path_in_use(const std::string& path)
{
    return held_paths().count(path) != 0;
}

std::vector<evdev_found> evdev_scan()
{
    evdev_source& source = evdev_current_source();
    std::vector<evdev_found> found;
    for (const std::string& path : source.list()) {
        if (evdev_path_in_use(path))
            continue;
        int fd = source.open(path);
        if (fd < 0)
            continue;  // no permission, or gone meanwhile: skipped silently
        evdev_found f;
        f.path = path;
        f.fd = fd;
        if (!source.query(fd, &f.info)) {
            source.close(fd);
            continue;
        }
        f.kind = evdev_classify(f.info);
        found.push_back(std::move(f));
    }
    return found;
}

void evdev_close_unused(std::vector<evdev_found>& found)
{
    for (auto& f : found)
        if (f.fd >= 0) {
            evdev_current_source().close(f.fd);
            f.fd = -1;
        }
}

evdev_link::~evdev_link()
{
    detach();
}

void evdev_link::attach(const std::string& path, int fd)
{
    detach();
    fd_ = fd;
    path_ = path;
    held_paths().insert(path);
}

void evdev_link::detach()
{
    if (fd_ < 0)
        return;
    evdev_current_source().close(fd_);
    held_paths().erase(path_);
    fd_ = -1;
    // A device that just went away is looked for again only after a while.
    next_search_ms_ = qorl_time_milliseconds() + search_interval_ms;
}

int evdev_link::read(evdev_event* events, int max)
{
    if (fd_ < 0)
        return -1;
    int count = evdev_read(fd_, events, max);
    if (count < 0)
        detach();
    return count;
}

bool evdev_link::search_due()
{
    int64_t now = qorl_time_milliseconds();
    if (now < next_search_ms_)
        return false;
    next_search_ms_ = now + search_interval_ms;
    return true;
}
