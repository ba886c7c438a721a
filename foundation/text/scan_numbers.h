// The number syntax of the scanning engine: integers in a conversion's base and
// decimal floats, read from one field, and their rounding to the destination's width.
#pragma once
#include "foundation/text/scan_source.h"

#include <cstdint>

// Optional sign and digits of the conversion's base ("i" takes it from a "0x" or "0"
// prefix), accumulated with 32-bit wrap-around. False when no digit was found.
bool scan_read_integer(scan_field& in, int conversion, uint32_t* out);

// Optional sign, digits with at most one ".", optional exponent. False when the
// mantissa has no digit.
bool scan_read_float(scan_field& in, long double* out);

// Mantissa times ten to the exponent, built from the powers 10^(2^k) up to 10^4096.
long double scan_scale_decimal(long double mantissa, int32_t exponent);

// Rounded to the destination's width; past its largest finite value the result is
// infinity exactly where round-to-nearest puts it.
float scan_to_float(long double v);
double scan_to_double(long double v);
