#include "gfx/image_header.h"

#include "foundation/text/scan.h"
#include "foundation/vfs/vfs.h"

void image_skip_comments(vfs_file* f)
{
    for (;;) {
        vfs_skip_spaces(f);
        int c = vfs_getc(f);
        if (c != '#') {
            if (c >= 0)
                f->pushed_back = c;
            return;
        }
        while (c >= 0 && c != '\n')
            c = vfs_getc(f);
    }
}

int image_header_int(vfs_file* f, int* value)
{
    image_skip_comments(f);
    return vfs_scanf(f, "%d", value) == 1;
}
