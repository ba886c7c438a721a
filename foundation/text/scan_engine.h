// The scanning engine behind vfs_scanf and scan_string: one walk of a format over a
// byte source (scan_source.h), so that a text and a file handle give the same results
// for the same bytes.
#pragma once
#include "foundation/text/scan_source.h"

#include <cstdarg>

// Count of assigned conversions, or -1 (see scan.h for the rules).
int scan_run(const scan_source& source, const char* format, va_list args);

// White space consumed, or -1 when the data ended; the first non-space stays pushed back.
int scan_skip_spaces(const scan_source& source);
