// The track script's frame handler, called once per drawn frame. No script engine is
// built yet, and with no script loaded there is nothing to call.
#pragma once

void script_call_frame_handler();
