// A small stand-in for the GL table in the lighting tests: program switches and the
// fog uniforms are kept as text, textures get names counting up from 1.
#pragma once
#include <string>
#include <vector>

namespace lightgl {

// Fills the GL table with the stub and resets the GL layer.
void install();
// "use <program id>" and "<uniform name> <values...>" lines in call order.
std::vector<std::string>& calls();

}  // namespace lightgl
