// Animated textures: an ordinary GL texture whose image is replaced as simulation
// time passes by one of the images of a ".seq" file, and into which track scripts
// can paste their own frames. Loaded through texture_load (first word "ANIM1").
#pragma once
#include <cstdint>

struct vfs_file;

struct anim_image {
    int32_t width;
    int32_t height;
    int32_t channels;
    uint8_t* pixels;   // chain buffer
};

struct anim_texture {
    uint32_t tid;
    int32_t frame_count;
    int32_t image_count;
    int32_t shown_image;
    int32_t frame_time;    // ticks per frame, >= 1
    int32_t loop;
    int32_t start_tick;
    int32_t stopped;
    anim_image* images;
    uint8_t* custom_frame;   // chain buffer sized like image 0, or null
    int32_t* frames;         // image index of each frame
};

// Reads a ".seq" body after its word "ANIM1", uploads the first frame's image with the
// given repeat flags and adds the record to the animation table. The id, or 0.
uint32_t anim_texture_load(vfs_file* f, int repeat_flags);
void anim_texture_free(anim_texture* a);

// Once per rendered frame with the current tick; re-uploads only on a change of image.
void anim_textures_update(int now);
void anim_texture_start(uint32_t id, int start_tick);
void anim_texture_stop(uint32_t id);

// Custom frames. Positions and sizes are fractions of the image width and height.
int texture_begin_custom_frame(uint32_t id);
int texture_paste_custom_frame(uint32_t id, int image, float source_x, float source_y, float dest_x,
                               float dest_y, float width, float height);
int texture_end_custom_frame(uint32_t id);

// The image the animation shows at tick now (before the change test of the update).
int anim_frame_image(const anim_texture* a, int now);
