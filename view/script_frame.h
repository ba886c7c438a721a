// The track script's frame handler, called once per drawn world view after the camera
// is published and before anything is drawn. The script installs it at start-up;
// until then (and in the editor's own view) it does nothing.
#pragma once

extern void (*script_frame_hook)();
