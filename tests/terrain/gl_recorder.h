// A GL table that draws nothing: every entry answers with zeros, and the calls the
// terrain's streaming makes are recorded with the data they carry, so the mesh a
// frame sends can be checked on the CPU.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace glrec {

struct Call {
    std::string name;            // without the "gl" prefix
    std::vector<int64_t> args;
    std::vector<float> floats;   // float arguments, or the floats of uploaded data
};

// Installs the table and a fresh GL layer state with the terrain program current.
void install();
std::vector<Call>& calls();

// Every triangle vertex (x, y, z) drawn since install(), in draw order, read back
// from the buffer uploads; and for each draw, the texture bound on unit 0 then.
struct Drawn {
    std::vector<float> vertices;
    std::vector<uint32_t> colour_textures;   // one per vertex
    int draws = 0;
    int uploads = 0;
};
Drawn drawn();

}  // namespace glrec
