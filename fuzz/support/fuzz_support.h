// What every fuzz target shares: a private data tree whose user folder holds the input
// as the file the reader expects, and a quiet log.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fuzz {

// Made once per process before the first data path is opened: "<tmp>/user/Brovanta"
// is the user folder, so "@name" resolves there, and the installation folder is
// empty, or with_base_data the generated base data of the build (for the targets
// that race on its tracks). Console lines go to $BV_FUZZ_LOG (none when unset).
void start(bool with_base_data = false);

// The user folder, without a trailing "/".
const std::string& user_folder();

// Writes bytes as data file "@" + name (its folders made) and returns "@" + name.
std::string put(const std::string& name, const uint8_t* data, size_t size);
std::string put(const std::string& name, const std::string& bytes);
// The same file as a plain path.
std::string plain_path(const std::string& name);
// Removes data file "@" + name if it is there.
void remove(const std::string& name);

// The input split at the first line "----" into (first, rest); rest is empty and
// first the whole input when there is no such line. Lets one input hold two files.
struct Split {
    std::string first, rest;
};
Split split(const uint8_t* data, size_t size);

}  // namespace fuzz
