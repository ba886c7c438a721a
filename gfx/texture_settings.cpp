#include "gfx/texture_settings.h"

int texture_detail_drop = 1;
int texture_compress = 1;
