#include "view/script_frame.h"

namespace {

void no_script() {}

}  // namespace

void (*script_frame_hook)() = no_script;
