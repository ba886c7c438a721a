// What start-up builds for the menus to choose from: the demo list.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Demos of the file index ("demos/*.bvdemo"), full data names and short names.
extern std::vector<std::string> demo_list_names;
extern std::vector<std::string> demo_list_short;
// The part after the last "/" and before the last "."; empty when that "." does not
// come after the "/".
std::string demo_short_name(const char* name);
// Collects the list from the file index; logs each pair when verbose.
void demo_list_build(int verbose);
void demo_list_free();
