// The sample track's script and the files only it uses: the script text with the
// course's positions written in front, the marshal's and the sign's pictures, the
// start light's disc and the air horn.
#pragma once
#include "course.h"
#include "track_images.h"

#include <string>
#include <vector>

// The "var" lines the script starts with: the start gate's centre and heading (from
// the start slots already laid out in the timing gates), a point beside the gate and
// one outside the course's first banked turn.
std::string sample_script_positions(const course& c, const std::vector<centre_sample>& line);

// 64 x 64 RGB: the marshal's palette (4 x 4 swatches as the model generator lays
// them out, mirrored top to bottom), the sponsor's board; 32 x 32 RGBA: a soft white disc.
picture marshal_picture();
picture sponsor_picture();
picture lamp_picture();

// About 1.5 s of raw 16-bit little-endian mono at 22050 samples per second: two
// detuned saw tones with an attack and a release, peaking below half scale.
std::string horn_bytes();
