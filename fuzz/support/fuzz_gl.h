// Targets whose reader makes textures or models: the recording GL table of the tests
// stands in for a GL context, emptied after every input so that memory stays flat.
#pragma once

namespace fuzz {

// Installs the fake table once; later calls empty its record.
void use_fake_gl();
// Frees every texture, animation and model the input made.
void drop_gl_objects();

}  // namespace fuzz
