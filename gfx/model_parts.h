// Making and freeing part records, shared by the model files.
#pragma once
#include "gfx/model.h"

// One block holding the record, its arrays and a copy of the name; every field 0,
// the array pointers set. Stops the program when memory runs out.
model* model_part_allocate(const char* name, int vertex_count, int triangle_count, int bone_count);
// Deletes the part's GL objects (ids that are 0 are skipped) and frees the block.
void model_part_free(model* part);
// Frees every part of the model and of each of its variants.
void model_free_with_variants(model* m);
