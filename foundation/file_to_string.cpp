// A whole data file as one terminated text, for the readers that parse from memory.
#include "foundation/capped_read.h"
#include "foundation/memory.h"
#include "foundation/vfs.h"
#include "platform/qorl_log.h"

namespace {
constexpr uint32_t kMaxText = 16777216;
}

char* file_to_string(const char* name)
{
    // A full buffer would leave no room for the terminator: the text stays below it.
    capped_bytes text = vfs_read_file_capped(name, kMaxText - 1);
    if (text.too_long) {
        qorl_log("File %s too long for file_to_string\n", name);
        mem_free(text.data);
        return nullptr;
    }
    return text.data;
}
