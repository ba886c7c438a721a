#include "gfx/png_text.h"

#include "foundation/front_door.h"
#include "foundation/memory.h"
#include "foundation/text/text_util.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kKeywordMax = 79;

// The first NUL at or after from, else n.
size_t nul_at(const png_byte* data, size_t from, size_t n)
{
    const void* p = from < n ? memchr(data + from, 0, n - from) : nullptr;
    return p ? size_t(static_cast<const png_byte*>(p) - data) : n;
}

void drop(png_text_reader* r)
{
    if (r->dropped)
        return;
    r->dropped = true;
    char line[1200];
    format_string(line, sizeof line, "Picture %.900s: text chunks past 64 KiB dropped", r->name);
    console_print(line);
}

// Keeps text up to its first NUL when it fits in what is left to keep.
void keep(png_text_reader* r, const char* text, size_t n)
{
    n = strnlen(text, n);
    if (r->length + n > kPngTextKept) {
        drop(r);
        return;
    }
    png_text_append(r, text, n);
}

// What inflating one stream gave: the bytes it produced, whatever the stream, and
// whether they are the whole text (the stream ended well within room).
struct inflated {
    size_t produced;
    bool whole;
};

// Inflates a zlib stream into at most room + 1 bytes of out.
inflated inflate_into(const png_byte* in, size_t n, char* out, size_t room)
{
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        return {0, false};
    z.next_in = const_cast<png_byte*>(in);
    z.avail_in = uInt(std::min<size_t>(n, UINT32_MAX));
    z.next_out = reinterpret_cast<Bytef*>(out);
    z.avail_out = uInt(room + 1);
    const int result = inflate(&z, Z_FINISH);
    const size_t produced = z.total_out;
    inflateEnd(&z);
    return {produced, result == Z_STREAM_END && produced <= room};
}

// A compressed text: inflated within what a picture may still spend and keep. Every
// byte inflated is spent, whether the stream was whole, too long, cut or damaged: a
// picture of many damaged streams costs no more than one of good ones.
void keep_compressed(png_text_reader* r, const png_byte* data, size_t n)
{
    if (r->work_left == 0) {
        drop(r);
        return;
    }
    const size_t room = std::min(kPngTextKept - r->length, r->work_left);
    char* out = static_cast<char*>(mem_alloc(room + 1));
    if (!out)
        return;
    const inflated got = inflate_into(data, n, out, room);
    r->work_left -= std::min(got.produced, r->work_left);
    if (got.whole)
        keep(r, out, got.produced);
    else if (got.produced > room)
        drop(r);
    // else a damaged stream: no text, as libpng would have it
    mem_free(out);
}

void read_chunk(png_text_reader* r, const png_unknown_chunk& chunk)
{
    const png_byte* data = chunk.data;
    const size_t n = data ? chunk.size : 0;
    const size_t key_end = nul_at(data, 0, n);
    if (key_end == 0 || key_end > kKeywordMax || key_end >= n)
        return;   // no keyword, or no text after it
    const char* type = reinterpret_cast<const char*>(chunk.name);
    if (strcmp(type, "tEXt") == 0) {
        keep(r, reinterpret_cast<const char*>(data + key_end + 1), n - key_end - 1);
    } else if (strcmp(type, "zTXt") == 0) {
        if (key_end + 2 < n && data[key_end + 1] == 0)
            keep_compressed(r, data + key_end + 2, n - key_end - 2);
    } else {
        // iTXt: keyword, compression flag and method, language tag, translated keyword.
        if (key_end + 3 > n)
            return;
        const png_byte compressed = data[key_end + 1], method = data[key_end + 2];
        const size_t language_end = nul_at(data, key_end + 3, n);
        const size_t translated_end = nul_at(data, language_end + 1, n);
        if (compressed > 1 || (compressed && method != 0) || translated_end >= n)
            return;
        const size_t at = translated_end + 1;
        if (compressed)
            keep_compressed(r, data + at, n - at);
        else
            keep(r, reinterpret_cast<const char*>(data + at), n - at);
    }
}

// Every chunk libpng does not handle comes here: the text chunks, which it is told to
// leave, and the unknown ones, which are passed over as libpng would (0 for a critical
// one, so that libpng refuses it as before).
int on_chunk(png_structp png, png_unknown_chunkp chunk)
{
    const char* type = reinterpret_cast<const char*>(chunk->name);
    if (strcmp(type, "tEXt") != 0 && strcmp(type, "zTXt") != 0 && strcmp(type, "iTXt") != 0)
        return (type[0] & 0x20) ? 1 : 0;
    read_chunk(static_cast<png_text_reader*>(png_get_user_chunk_ptr(png)), *chunk);
    return 1;
}

}  // namespace

void png_text_install(png_structp png, png_text_reader* reader, const char* name)
{
    reader->name = name;
    reader->work_left = kPngTextWork;
    static const png_byte texts[] = "tEXt\0zTXt\0iTXt";
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, texts, 3);
    png_set_read_user_chunk_fn(png, reader, on_chunk);
}

void png_text_append(png_text_reader* r, const char* bytes, size_t n)
{
    r->text = static_cast<char*>(mem_realloc(r->text, r->length + n + 1));
    if (!r->text)
        out_of_memory();
    memcpy(r->text + r->length, bytes, n);
    r->length += n;
    r->text[r->length] = '\0';
}
