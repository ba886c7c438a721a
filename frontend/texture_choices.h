// The texture choices: riding gear, helmet, bike graphics and wheels list the PNG
// files of the data-file index whose base names begin with their prefix. Each list
// is a pair of growable arrays of pointers kept in step:
//   files: "" (no file), then "@" + the data name ("@bikes/yz250fv2014-red.png")
//   names: "default", then the base name without prefix and ".png" ("red")
#pragma once
#include "foundation/growable_array.h"

// Empties both lists and refills them from the index: an entry goes into both or
// into neither.
void texture_choices_scan(growable_array* files, growable_array* names, const char* prefix);

// The graphics prefix of each "Bike" item ("yz250fv2014-" for "yz250f(2017)").
extern const char* const bike_graphics_prefixes[80];

// The four lists, in the order riding gear, helmet, bike graphics, wheels.
extern growable_array texture_files[4];
extern growable_array texture_names[4];

// Builds the four lists and points their choices at them, each selected by its kept
// name ("default" when not listed).
void texture_lists_build();
// Rebuilds the bike graphics list for the selected bike and selects "default".
void bike_graphics_rebuild();
// 1 once the lists stand (between texture_lists_build and texture_lists_free).
int texture_lists_built();
// The file of choice i's selected item; null for "default" or an unbuilt list.
const char* texture_choice_file(int i);
void texture_lists_free();
