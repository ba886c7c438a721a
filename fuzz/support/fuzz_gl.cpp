#include "support/fuzz_gl.h"

#include "gfx/fake_gl.h"
#include "gfx/model.h"
#include "gfx/texture_cache.h"

namespace fuzz {

void use_fake_gl()
{
    static const bool installed = (fakegl::install(), true);
    (void)installed;
    fakegl::clear_calls();
}

void drop_gl_objects()
{
    model_purge(1);
    texture_purge(1);
    // The fake table keeps a copy of every upload's pixels and the parameters of every
    // texture name it gave, and its names only rise: a picture target grew by about a
    // kilobyte an input, 800 MB in ten minutes. With nothing left alive it starts afresh.
    fakegl::install();
}

}  // namespace fuzz
