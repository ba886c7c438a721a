// Under the sanitizers every test program draws on Mesa's software renderer with no
// threads of its own: the rasteriser works in the drawing thread and the shader cache
// is off. Worker threads still alive when the process ends race the leak checker's
// stop-the-world pass at exit, which then crashes ("Tracer caught signal 11") after a
// passed test. The pictures are the same either way. Set before main(), so that
// children started by a test inherit it; a value already in the environment is kept.
#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
namespace {

const bool single_threaded_mesa = [] {
    setenv("LP_NUM_THREADS", "0", 0);
    setenv("MESA_SHADER_CACHE_DISABLE", "true", 0);
    return true;
}();

}  // namespace
#endif
