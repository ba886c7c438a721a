// The growable array nearly every list uses: doubling capacity, elements by value.
#pragma once
#include <cstdint>

struct growable_array {
    void* items;
    int32_t capacity;
    int32_t count;
    int32_t element_size;
};

// Makes an empty array with the first capacity 16; 0 when the block cannot be had.
int array_init(growable_array* array, int32_t element_size);
// Appends a copy of element (zero bytes for null). 0 when growth fails: the array is unchanged.
int array_push(growable_array* array, const void* element);
// Inserts a copy of element (zero bytes for null) before index (index = count appends),
// growing like array_push. 0 when index is out of range or growth fails: the array is
// unchanged.
int array_insert_at(growable_array* array, const void* element, int32_t index);
// Shrinks the element block to count elements (keeping the larger block when that
// fails), hands it to the caller, who frees it, and leaves the array empty (no storage).
void* array_take(growable_array* array);
void array_free(growable_array* array);
