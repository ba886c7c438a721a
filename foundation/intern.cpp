#include "foundation/intern.h"

#include <cstring>

#include "foundation/growable_array.h"
#include "foundation/memory.h"

namespace {

growable_array table;   // of const char*, made on first use
bool table_ready = false;

}  // namespace

const char* intern_string(const char* text)
{
    if (!text)
        return nullptr;
    if (table_ready) {
        const char* const* texts = static_cast<const char* const*>(table.items);
        for (int32_t i = 0; i < table.count; ++i)
            if (strcmp(texts[i], text) == 0)
                return texts[i];
    }

    size_t size = strlen(text) + 1;
    char* copy = static_cast<char*>(mem_alloc(size));
    if (!copy)
        out_of_memory();
    memcpy(copy, text, size);

    if (!table_ready)
        table_ready = array_init(&table, sizeof(char*)) != 0;
    // When the table cannot grow the copy is still good, just not shared.
    if (table_ready)
        array_push(&table, &copy);
    return copy;
}

void intern_free_all()
{
    if (!table_ready)
        return;
    char** texts = static_cast<char**>(table.items);
    for (int32_t i = 0; i < table.count; ++i)
        mem_free(texts[i]);
    array_free(&table);
    table_ready = false;
}
