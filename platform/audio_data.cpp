// Refcounted sound data and the ring arithmetic of stream writes. The data and its
// header are one allocation.
#include "platform/audio_data.h"

#include <cstdlib>
#include <cstring>

qorl_sound_data* qorl_sound_data_new(int32_t length, const void* data)
{
    if (length < 1)
        return nullptr;
    auto* d = static_cast<qorl_sound_data*>(malloc(sizeof(qorl_sound_data) + static_cast<size_t>(length)));
    if (!d)
        return nullptr;
    d->refcount = 1;
    d->length = length;
    d->bytes = reinterpret_cast<uint8_t*>(d + 1);
    if (data)
        memcpy(d->bytes, data, static_cast<size_t>(length));
    else
        memset(d->bytes, 128, static_cast<size_t>(length));
    return d;
}

qorl_sound_data* qorl_sound_data_ref(qorl_sound_data* d)
{
    ++d->refcount;
    return d;
}

void qorl_sound_data_unref(qorl_sound_data* d)
{
    if (d && --d->refcount == 0)
        free(d);
}

int qorl_ring_span_of(int32_t ring_length, int32_t length, const void* data, int32_t offset,
                      qorl_ring_span* span)
{
    if (ring_length < 1 || length < 0 || (!data && length > 0))
        return 0;
    const auto* source = static_cast<const uint8_t*>(data);
    // 64 bits: the offset plus the bytes skipped may pass the int32 range.
    int64_t start = offset;
    if (length > ring_length) {
        int32_t skipped = length - ring_length;
        source += skipped;
        start += skipped;
        length = ring_length;
    }
    // A negative offset counts back from the end, never before the buffer.
    start %= ring_length;
    if (start < 0)
        start += ring_length;
    span->offset = static_cast<int32_t>(start);
    span->count = length;
    span->source = source;
    return 1;
}

void qorl_ring_copy(uint8_t* ring, int32_t ring_length, const qorl_ring_span& span)
{
    int32_t first = ring_length - span.offset;
    if (first > span.count)
        first = span.count;
    if (first > 0)
        memcpy(ring + span.offset, span.source, static_cast<size_t>(first));
    if (span.count > first)
        memcpy(ring, span.source + first, static_cast<size_t>(span.count - first));
}
