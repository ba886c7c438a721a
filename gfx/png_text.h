// The text of a PNG's tEXt, zTXt and iTXt chunks, read by our own hand so that what a
// picture's text may cost is bounded. The program looks in it for short notes
// ("[compress]", "[mip_custom]", colour tags); a picture's chunks may keep
// kPngTextKept bytes of text in all, and a chunk that does not fit is dropped whole.
// Inflating stops at kPngTextWork bytes a picture, dropped chunks included, so that a
// small file of compressed text costs little (plain text costs what reading the file
// does). The first drop logs one line naming the picture.
#pragma once
#include <png.h>

#include <cstddef>

inline constexpr size_t kPngTextKept = size_t(64) << 10;
inline constexpr size_t kPngTextWork = size_t(1) << 20;

struct png_text_reader {
    const char* name;      // the picture, for the line
    char* text;            // owned (mem_alloc), NUL-terminated; null while empty
    size_t length;
    size_t work_left;      // bytes that inflating may still produce
    bool dropped;
};

// Makes libpng hand every text chunk to the reader instead of keeping it; call before
// png_read_info. The reader lives in the caller's frame (it survives a longjmp).
void png_text_install(png_structp png, png_text_reader* reader, const char* name);

// Appends n bytes to the reader's text (no bound: the sidecar file has its own).
void png_text_append(png_text_reader* reader, const char* bytes, size_t n);
