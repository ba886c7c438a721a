#include "gfx/gl_table.h"

#include "platform/qorl_log.h"

#include <cstddef>

gl_table gl;

namespace {

struct entry {
    const char* name;
    size_t offset;
};

constexpr entry entries[] = {
#define BV_GL_ENTRY(type, name) {"gl" #name, offsetof(gl_table, name)},
    BV_GL_FUNCTIONS(BV_GL_ENTRY)
#undef BV_GL_ENTRY
};
static_assert(sizeof entries / sizeof entries[0] == gl_table_size);
static_assert(sizeof(gl_table) == gl_table_size * sizeof(void*));

}  // namespace

int gl_table_load(gl_table* table, gl_proc_loader loader, void* context)
{
    int missing = 0;
    for (const entry& e : entries) {
        void* function = loader(context, e.name);
        if (!function) {
            qorl_log("GL entry point %s not found\n", e.name);
            ++missing;
        }
        // Every member is a plain function pointer, so the slot takes the address as is.
        *reinterpret_cast<void**>(reinterpret_cast<char*>(table) + e.offset) = function;
    }
    return missing;
}

const char* gl_table_name(int i)
{
    return i >= 0 && i < gl_table_size ? entries[i].name : nullptr;
}
