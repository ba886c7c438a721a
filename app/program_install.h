// Every library's entry points into the race core, installed once before the program
// starts: main() and the tests that start the program as main() does run this one.
#pragma once

void program_install();
