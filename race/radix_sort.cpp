#include "race/radix_sort.h"

#include "terrain/billboards.h"

#include <cstddef>
#include <cstring>

namespace {

const char* pass_b_keys = nullptr;
int32_t pass_b_stride = 0;

int32_t key_at(const char* first, int32_t stride, int32_t index)
{
    int32_t key;
    memcpy(&key, first + ptrdiff_t(index) * stride, sizeof key);
    return key;
}

void pass_over(int32_t* dst, const int32_t* src, int32_t count, int shift, const char* first, int32_t stride)
{
    int32_t start[257] = {};
    for (int32_t k = 0; k < count; ++k)
        ++start[((uint32_t(key_at(first, stride, src[k])) >> shift) & 0xff) + 1];
    for (int b = 1; b < 257; ++b)
        start[b] += start[b - 1];
    for (int32_t k = 0; k < count; ++k)
        dst[start[(uint32_t(key_at(first, stride, src[k])) >> shift) & 0xff]++] = src[k];
}

}  // namespace

void radix_pass(int32_t* dst, const int32_t* src, int32_t count, int shift, const int32_t* keys,
                int32_t key_stride)
{
    pass_over(dst, src, count, shift, reinterpret_cast<const char*>(keys), key_stride);
}

void radix_pass_a(int32_t* dst, const int32_t* src, int32_t count, int shift)
{
    const char* first = static_cast<const char*>(billboards.items) + offsetof(billboard, depth_key);
    pass_over(dst, src, count, shift, first, int32_t(sizeof(billboard)));
}

void radix_pass_b_bind(const void* first_key, int32_t record_size)
{
    pass_b_keys = static_cast<const char*>(first_key);
    pass_b_stride = record_size;
}

void radix_pass_b(int32_t* dst, const int32_t* src, int32_t count, int shift)
{
    pass_over(dst, src, count, shift, pass_b_keys, pass_b_stride);
}
