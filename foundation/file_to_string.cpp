// A whole data file as one terminated text, for the readers that parse from memory.
#include "foundation/memory.h"
#include "foundation/vfs.h"
#include "platform/qorl_log.h"

namespace {
constexpr int kMaxText = 16777216;
// The buffer starts small and doubles: most texts are a few KiB, and taking the
// whole cap for each one costs far more than the text under a checked allocator.
constexpr int kFirstBuffer = 65536;
}

char* file_to_string(const char* name)
{
    vfs_file* f = vfs_open(name, "rb");
    if (!f)
        return nullptr;
    int capacity = kFirstBuffer;
    auto* text = static_cast<char*>(mem_alloc(static_cast<size_t>(capacity)));
    int length = 0;
    while (text) {
        const int n = vfs_read(f, text + length, capacity - length);
        length += n > 0 ? n : 0;
        if (length < capacity || capacity >= kMaxText)
            break;
        capacity *= 2;
        void* grown = mem_realloc(text, static_cast<size_t>(capacity));
        if (!grown)
            mem_free(text);
        text = static_cast<char*>(grown);
    }
    vfs_close(f);
    if (!text)
        return nullptr;
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
