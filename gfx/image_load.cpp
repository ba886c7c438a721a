// Loading an image of a known channel count from any readable format: PNG first,
// then the J and PPM readers chosen by the file's first word.
#include "gfx/image_chain.h"
#include "gfx/images.h"
#include "gfx/mip_chain.h"

#include "foundation/memory.h"
#include "foundation/text/scan.h"
#include "foundation/vfs/vfs.h"

#include <cstring>

namespace {

// Converts a chain in place of the caller's pointer to the wanted channel count.
void convert(uint8_t** pixels, int w, int h, int have, int want)
{
    if (have == want)
        return;
    uint8_t* out = want == 4 ? chain_rgb_to_rgba(*pixels, w, h) : chain_rgba_to_rgb(*pixels, w, h);
    mem_free(*pixels);
    *pixels = out;
}

int load(const char* name, int want, uint8_t** pixels, int* w, int* h)
{
    int channels = 0;
    if (image_read_png(name, pixels, w, h, &channels, nullptr)) {
        convert(pixels, *w, *h, channels, want);
        return 1;
    }
    vfs_file* f = vfs_open(name, "rb");
    if (!f)
        return 0;
    char word[16] = "";
    int ok = 0;
    if (vfs_scanf(f, "%15s", word) == 1) {
        if (strcmp(word, "J6") == 0 || strcmp(word, "J7") == 0) {
            ok = want == 4 ? image_read_j_rgba(word, f, pixels, w, h) : image_read_j_rgb(word, f, pixels, w, h);
        } else if (strcmp(word, "P3") == 0 || strcmp(word, "P6") == 0) {
            ok = image_read_ppm(word, f, pixels, w, h);
            if (ok)
                convert(pixels, *w, *h, 3, want);
        }
    }
    vfs_close(f);
    return ok;
}

}  // namespace

int image_load_rgb(const char* name, uint8_t** pixels, int* w, int* h)
{
    return load(name, 3, pixels, w, h);
}

int image_load_rgba(const char* name, uint8_t** pixels, int* w, int* h)
{
    return load(name, 4, pixels, w, h);
}
