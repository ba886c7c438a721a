// ".shp" collision shapes (a sphere count, then centre and radius of each), read by
// name into the shape cache as the bikes and statues read them.
#include "support/fuzz_support.h"

#include "sim/shapes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::start();
    shape_load(fuzz::put("fuzz/shape.shp", data, size).c_str());
    shapes_free_all();
    return 0;
}
