// A race reset with no display: a GL table whose calls do nothing (textures get
// names counting up from 1), a real physics world, the terrain read without GL
// objects, and the data folders of a fresh process: a temporary user folder first,
// then the generated base data.
#pragma once
#include "support/test_support.h"
#include "tools/headless/headless_race.h"

#include <cstdint>
#include <string>

namespace racetest {

// In a fresh process: points the data paths at root/user and the base data, starts
// the quiet GL table and the physics world, and installs the GL-free terrain loader.
void start(const bvtest::TempDir& root);
// start, then what racing automatic riders needs: the track list, the race rules,
// the demo and line-learning hooks, the riders' clearing and the default roost.
void start_racing(const bvtest::TempDir& root);
// The user data folder ("@" names resolve here first).
std::string user_folder(const bvtest::TempDir& root);
// The bytes of data file "@" + name as the program reads it (".gz" inflated); empty
// when missing.
std::string data_bytes(const std::string& name);
// RIPEMD-160 of bytes by the openssl command, 40 hex digits.
std::string openssl_rmd160(const std::string& bytes, const bvtest::TempDir& root);
std::string hex(const uint8_t digest[20]);

}  // namespace racetest
