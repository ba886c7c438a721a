#include "sim/stock_shapes.h"

#include "sim/stock_shapes_digest.h"

#include "foundation/numbers/ripemd160.h"
#include "foundation/vfs/vfs.h"

#include <cstring>

const char* const stock_shape_files[7] = {
    "@generic_frame.shp", "@generic_fork_upper.shp", "@generic_fork_lower.shp", "@generic_swingarm.shp",
    "@front_wheel.shp",   "@rear_wheel.shp",         "@generic_rider.shp",
};

int stock_shapes_flag = 0;

namespace {

// The stock sets a server accepts: ours; the other two places are free for sets
// shipped later.
const char* const accepted[3] = {stock_shapes_shipped_digest, "", ""};

}  // namespace

void stock_shapes_digest(char hex[41])
{
    ripemd160_ctx ctx;
    ripemd160_init(&ctx);
    for (const char* name : stock_shape_files) {
        vfs_file* f = vfs_open(name, "rb");
        if (!f)
            continue;
        char block[1024];
        // A read error (negative) ends the file like its end does.
        for (int n; (n = vfs_read(f, block, sizeof block)) > 0;)
            ripemd160_update(&ctx, block, static_cast<size_t>(n));
        vfs_close(f);
    }
    ripemd160_final(&ctx);
    ripemd160_to_hex(ctx.digest, hex);
}

int stock_shapes_match(const char* hex)
{
    for (const char* digest : accepted)
        if (*digest && strcmp(hex, digest) == 0)
            return 1;
    return 0;
}

int stock_shapes_check()
{
    char hex[41];
    stock_shapes_digest(hex);
    stock_shapes_flag = stock_shapes_match(hex);
    return stock_shapes_flag;
}
