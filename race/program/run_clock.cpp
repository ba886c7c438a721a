#include "race/program/run_clock.h"

double run_clock = 0.0;
