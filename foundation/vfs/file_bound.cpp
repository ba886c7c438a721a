#include "foundation/vfs/file_bound.h"

#include "foundation/front_door.h"
#include "foundation/handle/vfs_file.h"
#include "foundation/text/text_util.h"
#include "foundation/vfs/capped_read.h"
#include "foundation/vfs/vfs.h"

namespace {

void say_refused(const char* name, uint32_t bound, const char* reader)
{
    if (!reader)
        return;
    char line[1100];
    format_string(line, sizeof line, "%s: %.900s refused: longer than %lu bytes", reader, name[0] == '@' ? name + 1 : name,
                  static_cast<unsigned long>(bound));
    console_print(line);
}

}  // namespace

int vfs_open_bounded(vfs_file** out, const char* name, uint32_t bound, const char* reader)
{
    *out = nullptr;
    vfs_file* f = vfs_open(name, "rb");
    if (!f)
        return 0;
    if (vfs_known_left(f) > int64_t(bound)) {
        vfs_close(f);
        say_refused(name, bound, reader);
        return -1;
    }
    // One byte past the bound tells a file at it from a longer one.
    vfs_cap_rest(f, bound + 1);
    *out = f;
    return 1;
}

int vfs_bound_passed(const vfs_file* f, const char* name, uint32_t bound, const char* reader)
{
    if (f->position <= bound)
        return 0;
    say_refused(name, bound, reader);
    return 1;
}
