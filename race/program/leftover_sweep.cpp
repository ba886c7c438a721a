#include "race/program/leftover_sweep.h"

#include "foundation/file_index.h"

int leftover_sweep_user_folder()
{
    return file_index_build_sweeping();
}
