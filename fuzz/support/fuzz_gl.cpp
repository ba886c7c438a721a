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
    fakegl::clear_calls();
}

}  // namespace fuzz
