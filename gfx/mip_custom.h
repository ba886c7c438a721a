// Hand-drawn mip levels packed into one image ("[mip_custom]" in the info text).
#pragma once
#include <cstdint>

// *pixels is a chain buffer whose base is the whole file image (*w x *h). The file is
// W wide and 3H/2 high: the base W x H at the top left, then each smaller level
// copied from a cursor that starts at (0, 0) and, after each level, moves right by
// the level's width when the level reached the file's bottom, else down by its
// height. On success the buffer becomes the W x H chain and *h becomes H.
// A height not divisible that way, or a level that would lie outside the file,
// prints the custom-MIP warning and fills the levels with the ordinary filter.
void mip_custom_unpack(const char* name, uint8_t** pixels, int* w, int* h, int channels);
