// The folders of the test program, made before any test runs and removed at exit:
// root()/user is the user data folder (so "@name" paths resolve under user_root(),
// which is also where saves go) and root()/game the installation folder. Console lines
// land in the shared support log (ConsoleCapture).
#pragma once
#include "support/console_capture.h"

#include <cstdint>
#include <string>
#include <vector>

namespace trackfiles {

const std::string& root();
// The user data folder ("<tmp>/user/Brovanta"), without a trailing "/".
const std::string& user_root();
// The full path of data file "@" + name.
std::string path(const std::string& name);

// Writes bytes into "@" + name (making its folders); removes a whole track folder.
void put(const std::string& name, const std::string& bytes);
std::string get(const std::string& name);
void remove_folder(const std::string& folder);

// "terrain.hf" with inline samples (row-major, z rows) and its header.
std::string inline_heights(int n, float cell, float low, float high, const std::vector<uint16_t>& samples);
// A binary PGM of the given bytes.
std::string pgm(int w, int h, const std::vector<uint8_t>& bytes);

}  // namespace trackfiles
