// A GL table that draws nothing, for the CPU tests: every entry answers 0, textures
// get names counting up from 1, and the calls the terrain and the lighting make are
// recorded with the data they carry, so what a frame sends can be checked on the CPU.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace glrec {

// A uniform setter is recorded under the uniform's name, with its values in floats.
struct Call {
    std::string name;            // without the "gl" prefix
    std::vector<int64_t> args;
    std::vector<float> floats;   // float arguments, or the floats of uploaded data
};

// Installs the table and a fresh GL layer state in which program slot k has id k,
// with the terrain program current.
void install();
std::vector<Call>& calls();

// Every triangle vertex (x, y, z) drawn since install(), in draw order, read back
// from the buffer uploads; and for each, the texture bound on unit 0 at its draw.
struct Drawn {
    std::vector<float> vertices;
    std::vector<uint32_t> colour_textures;
    int uploads = 0;
};
Drawn drawn();

}  // namespace glrec
