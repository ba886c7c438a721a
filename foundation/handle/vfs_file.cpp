#include "foundation/handle/vfs_file.h"

#include "foundation/handle/gzip_stream.h"
#include "foundation/memory.h"

#include <algorithm>
#include <cstdarg>

#include <sys/stat.h>

void vfs_reset(vfs_file* f)
{
    f->file = nullptr;
    f->base_offset = 0;
    f->size_limit = kVfsNoLimit;
    f->position = 0;
    f->pushed_back = -1;
    f->gzip = 0;
    f->compressed_size = 0;
    f->compressed_read = 0;
    f->stream_end = 0;
    f->read_pointer = f->output;
}

vfs_file* vfs_adopt(FILE* file)
{
    auto* f = file ? static_cast<vfs_file*>(mem_alloc(sizeof(vfs_file))) : nullptr;
    if (!f)
        return nullptr;
    vfs_reset(f);
    f->file = file;
    return f;
}

int vfs_close(vfs_file* f)
{
    if (!f)
        return 0;
    vfs_gzip_end(f);
    int result = 0;
    if (f->file)
        result = fclose(f->file);
    mem_free(f);
    return result;
}

int64_t vfs_known_left(vfs_file* f)
{
    struct stat st;
    if (f->gzip || fstat(fileno(f->file), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    // A window ends at its size limit, a loose file at its end, whichever comes first.
    const int64_t end = std::min<int64_t>(f->size_limit, int64_t(st.st_size) - int64_t(f->base_offset));
    return std::max<int64_t>(end - int64_t(f->position), 0) + (f->pushed_back >= 0 ? 1 : 0);
}

int vfs_raw_getc(vfs_file* f)
{
    if (f->position >= f->size_limit)
        return -1;
    int c;
    if (f->gzip) {
        uint8_t byte;
        if (vfs_gzip_read(f, &byte, 1) != 1)
            return -1;
        c = byte;
    } else {
        c = fgetc(f->file);
        if (c == EOF)
            return -1;
    }
    ++f->position;
    return c;
}

int vfs_getc(vfs_file* f)
{
    if (f->pushed_back >= 0) {
        int c = f->pushed_back;
        f->pushed_back = -1;
        return c;
    }
    return vfs_raw_getc(f);
}

char* vfs_gets(vfs_file* f, char* buffer, int size)
{
    if (size <= 0)
        return nullptr;
    int stored = 0;
    int c = 0;
    while (stored < size - 1) {
        c = vfs_getc(f);
        if (c < 0)
            break;
        buffer[stored++] = static_cast<char>(c);
        if (c == '\n')
            break;
    }
    if (stored == 0 && c < 0)
        return nullptr;
    buffer[stored] = '\0';
    return buffer;
}

int vfs_read(vfs_file* f, void* buffer, int n)
{
    if (n <= 0)
        return 0;
    auto* out = static_cast<uint8_t*>(buffer);
    int stored = 0;
    if (f->pushed_back >= 0) {
        out[stored++] = static_cast<uint8_t>(f->pushed_back);
        f->pushed_back = -1;
    }
    uint32_t room = f->size_limit > f->position ? f->size_limit - f->position : 0;
    int want = static_cast<int>(std::min<uint32_t>(static_cast<uint32_t>(n - stored), room));
    if (want <= 0)
        return stored;
    int got = f->gzip ? vfs_gzip_read(f, out + stored, want)
                      : static_cast<int>(fread(out + stored, 1, static_cast<size_t>(want), f->file));
    f->position += static_cast<uint32_t>(got);
    return stored + got;
}

int vfs_putc(vfs_file* f, int c)
{
    return fputc(c, f->file) == EOF ? 0 : 1;
}

int vfs_puts(vfs_file* f, const char* text)
{
    return fputs(text, f->file);
}

size_t vfs_write(vfs_file* f, const void* data, size_t n)
{
    return fwrite(data, 1, n, f->file);
}

int vfs_printf(vfs_file* f, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int written = vfprintf(f->file, format, args);
    va_end(args);
    return written;
}

int vfs_flush(vfs_file* f)
{
    return fflush(f->file);
}

int vfs_seek(vfs_file* f, uint32_t offset)
{
    if (f->gzip || offset >= f->size_limit)
        return 0;
    f->pushed_back = -1;
    if (fseek(f->file, static_cast<long>(f->base_offset) + static_cast<long>(offset), SEEK_SET) != 0)
        return 0;
    f->position = offset;
    return 1;
}
