// Keeping the GL driver's libraries in the process once a context exists.
#pragma once

// Marks every library loaded so far as never to be unloaded. The GL driver loads its
// own libraries when the first context is made and would unload them when the last
// display goes: a later context (a mode change, a second window) loads them again, and
// whatever they kept for the whole run would be left behind without a name.
void qorl_gl_pin_driver_libraries();
