#include "foundation/text/scan.h"

#include "foundation/text/scan_engine.h"
#include "foundation/handle/vfs_file.h"

namespace {

int file_byte(void* context)
{
    return vfs_raw_getc(static_cast<vfs_file*>(context));
}

scan_source file_source(vfs_file* f)
{
    return scan_source{file_byte, f, &f->pushed_back, &f->position};
}

// A text seen as a byte source: it ends at its terminator, and its look-ahead lives
// here for the length of one call.
struct text_source {
    const char* text;
    uint32_t position;
    int32_t pushed_back;
};

int text_byte(void* context)
{
    auto* t = static_cast<text_source*>(context);
    const auto c = static_cast<unsigned char>(t->text[t->position]);
    if (c == 0)
        return -1;
    ++t->position;
    return c;
}

}  // namespace

int vfs_scanf(vfs_file* f, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int result = scan_run(file_source(f), format, args);
    va_end(args);
    return result;
}

int vfs_skip_spaces(vfs_file* f)
{
    return scan_skip_spaces(file_source(f));
}

int scan_string(const char* text, const char* format, ...)
{
    text_source t{text ? text : "", 0, -1};
    va_list args;
    va_start(args, format);
    const int result = scan_run(scan_source{text_byte, &t, &t.pushed_back, &t.position}, format, args);
    va_end(args);
    return result;
}
