// Puts the front end behind the door the lower libraries print and show progress
// through, and behind the race core's entry points. The program's main() calls it
// before anything can print; so does every in-process run of the program.
#pragma once

void front_end_install();
