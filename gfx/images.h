// The image file formats: the predictive "J6"/"J7" formats, PPM and PGM, and PNG
// through libpng (with the ".info" sidecar text), plus the PNG writers. Texture
// readers hand back chain buffers (image_chain.h) with every level already filled;
// buffers are the caller's to free with mem_free. All return 1 / 0 unless noted.
#pragma once
#include <cstdint>

struct vfs_file;

// The J formats, after the caller has read the header word from the open file.
// _rgb keeps three channels (a "J7" file's alpha is read and dropped); _rgba keeps
// four (a "J6" image gets opaque alpha).
int image_read_j_rgb(const char* word, vfs_file* f, uint8_t** pixels, int* w, int* h);
int image_read_j_rgba(const char* word, vfs_file* f, uint8_t** pixels, int* w, int* h);

// "P6" (raw) or "P3" (text) after the header word; three channels.
int image_read_ppm(const char* word, vfs_file* f, uint8_t** pixels, int* w, int* h);

// A grey map with its own word ("P5" raw, anything else text samples): one byte per
// texel, no chain.
int pgm_read(vfs_file* f, uint8_t** pixels, int* w, int* h);
// The same for a map of a known size: a header declaring any other size is refused
// before a sample is read (0, with the declared size in w and h).
int pgm_read_sized(vfs_file* f, int want_w, int want_h, uint8_t** pixels, int* w, int* h);

// Any PNG as 8-bit RGB or RGBA (alpha from an alpha channel or a tRNS chunk). The
// info text (its text chunks, then the sidecar "<name>.info") is returned in *info
// (mem_free it; may be null) when info is not null.
int image_read_png(const char* name, uint8_t** pixels, int* w, int* h, int* channels, char** info);

// PNG first, then the J or PPM readers, converted to the asked channel count.
int image_load_rgb(const char* name, uint8_t** pixels, int* w, int* h);
int image_load_rgba(const char* name, uint8_t** pixels, int* w, int* h);

// The longest picture png_read_gray16 takes. Its largest picture (8193 x 8193, see
// image_chain.h) at the widest texel libpng hands it, 16-bit RGBA, stored without
// compression takes 8193 rows of 1 + 8193 x 8 bytes, just over 512 MiB; deflate's
// stored blocks and the chunk framing add well under 1%, and the rest leaves room for
// text chunks.
inline constexpr uint32_t kGray16PictureMax = uint32_t(576) << 20;

// Any PNG as host-order 16-bit grey; 8-bit samples v become v x 257. -1 for a file
// longer than kGray16PictureMax, refused unread (or a gzip one once inflated past it)
// with a line.
int png_read_gray16(const char* name, uint16_t** samples, int* w, int* h);

// 16-bit grey, rows top first (terrain heights).
int png_write_gray16(const char* name, const uint16_t* samples, int w, int h);
// The same onto a file the caller opened and will close.
int png_write_gray16_to(vfs_file* f, const uint16_t* samples, int w, int h);
// 8-bit RGB whose first file row is the buffer's last row (GL read-back order).
int png_write_rgb(const char* name, const uint8_t* pixels, int w, int h);
// The same onto a file the caller opened and will close.
int png_write_rgb_to(vfs_file* f, const uint8_t* pixels, int w, int h);
// 8-bit RGBA, rows top first (bundled artwork and test images).
int png_write_rgba(const char* name, const uint8_t* pixels, int w, int h);
