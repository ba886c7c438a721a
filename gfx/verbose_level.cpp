// The diagnostic level every subsystem reads: 1 with "--debug", 2 with "--super-debug".
#include "gfx/model_scene.h"

int verbose_level = 0;
