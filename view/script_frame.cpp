#include "view/script_frame.h"

void script_call_frame_handler() {}
