// GL start-up: runs once with the context current, before any other call of the layer.
#pragma once
#include "gfx/gl_table.h"

// Fills the GL table through the loader (the window system's proc-address call),
// records the driver's texts and version, creates the immediate-mode buffers, the
// white and flat-normal 1x1 textures, and puts the identity on every matrix stack.
void gl_init(gl_proc_loader loader, void* context);

// "OpenGL ES 3.2 Mesa ..." gives 3, 2, es 1; "4.6.0 NVIDIA ..." gives 4, 6, es 0;
// a text with no "major.minor" gives 0, 0 (which the version check refuses).
void gl_parse_version(const char* text, int* major, int* minor, int* es);

// The program's minimum: 3.1, desktop or ES.
int gl_version_supported(int major, int minor);
