#include "foundation/growable_array.h"

#include <cstddef>
#include <cstring>

#include "foundation/memory.h"

namespace {
constexpr int32_t kFirstCapacity = 16;
}

int array_init(growable_array* array, int32_t element_size)
{
    array->items = nullptr;
    array->capacity = 0;
    array->count = 0;
    array->element_size = element_size;
    if (element_size <= 0)
        return 0;
    array->items = mem_alloc(size_t(kFirstCapacity) * size_t(element_size));
    if (!array->items)
        return 0;
    array->capacity = kFirstCapacity;
    return 1;
}

namespace {

// Room for one more element, doubling the block when full; 0 when that fails.
int make_room(growable_array* array)
{
    if (array->element_size <= 0 || array->count < 0)
        return 0;
    if (array->count < array->capacity)
        return 1;
    const size_t element_size = size_t(array->element_size);
    // Worked out in size_t: doubling must neither leave int32 nor wrap the byte count.
    size_t capacity = array->capacity > 0 ? size_t(array->capacity) * 2 : size_t(kFirstCapacity);
    if (capacity > size_t(INT32_MAX) || capacity > SIZE_MAX / element_size)
        return 0;
    void* items = mem_realloc(array->items, capacity * element_size);
    if (!items)
        return 0;
    array->items = items;
    array->capacity = int32_t(capacity);
    return 1;
}

}  // namespace

int array_push(growable_array* array, const void* element)
{
    return array_insert_at(array, element, array->count);
}

int array_insert_at(growable_array* array, const void* element, int32_t index)
{
    if (index < 0 || index > array->count || !make_room(array))
        return 0;
    const size_t element_size = size_t(array->element_size);
    char* slot = static_cast<char*>(array->items) + size_t(index) * element_size;
    memmove(slot + element_size, slot, size_t(array->count - index) * element_size);
    if (element)
        memcpy(slot, element, element_size);
    else
        memset(slot, 0, element_size);
    ++array->count;
    return 1;
}

void* array_take(growable_array* array)
{
    void* items = array->items;
    if (items && array->count > 0 && array->count < array->capacity && array->element_size > 0) {
        // A failed shrink leaves the old block valid: the caller gets that one instead.
        if (void* fitted = mem_realloc(items, size_t(array->count) * size_t(array->element_size)))
            items = fitted;
    }
    array->items = nullptr;
    array->capacity = 0;
    array->count = 0;
    return items;
}

void array_free(growable_array* array)
{
    mem_free(array->items);
    array->items = nullptr;
    array->capacity = 0;
    array->count = 0;
}
