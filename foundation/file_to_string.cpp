// A whole data file as one terminated text, for the readers that parse from memory.
#include "foundation/memory.h"
#include "foundation/vfs.h"
#include "platform/qorl_log.h"

namespace {
constexpr int kMaxText = 16777216;
}

char* file_to_string(const char* name)
{
    vfs_file* f = vfs_open(name, "rb");
    if (!f)
        return nullptr;
    auto* text = static_cast<char*>(mem_alloc(kMaxText));
    if (!text) {
        vfs_close(f);
        return nullptr;
    }
    int length = vfs_read(f, text, kMaxText);
    vfs_close(f);
    // A full buffer leaves no room for the terminator and may be cut short.
    if (length >= kMaxText) {
        qorl_log("File %s too long for file_to_string\n", name);
        mem_free(text);
        return nullptr;
    }
    text[length] = '\0';
    // Shrinking cannot lose the text: on failure the large block is still valid.
    if (void* shrunk = mem_realloc(text, static_cast<size_t>(length) + 1))
        text = static_cast<char*>(shrunk);
    return text;
}
