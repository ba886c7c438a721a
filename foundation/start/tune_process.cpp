#include "foundation/start/tune_process.h"

#include "foundation/os_paths.h"
#include "platform/qorl_log.h"

#include <algorithm>

namespace {
constexpr uint64_t kSmallestMachine = 0x4000000;  // 64 MiB
constexpr uint64_t kLargestRange = 0x80000000;    // 2 GiB
constexpr uint64_t kHeadroom = 0x2000000;         // 32 MiB
constexpr uint64_t kLowestMinimum = 0x40000000;   // 1 GiB
}  // namespace

int working_set_range(uint64_t total_bytes, uint32_t* min, uint32_t* max)
{
    if (total_bytes < kSmallestMachine)
        return 0;
    uint64_t upper = std::min(total_bytes, kLargestRange) - kHeadroom;
    *max = static_cast<uint32_t>(upper);
    *min = static_cast<uint32_t>(std::min(upper, kLowestMinimum));
    return 1;
}

void tune_process()
{
    uint32_t min = 0, max = 0;
    uint64_t total = os_total_memory();
    if (total == 0) {
        qorl_log("Working set left alone - physical memory unknown\n");
    } else if (!working_set_range(total, &min, &max)) {
        qorl_log("Working set left alone - less than 64 MB physical memory\n");
    } else {
        qorl_log("Setting working set range to %u - %u\n", min, max);
        qorl_log("Working set range not applied: this system has no working-set limit\n");
    }

    if (os_raise_priority())
        qorl_log("Priority successfully set to high\n");
    else
        qorl_log("Priority set failed\n");
}
