// Small text helpers shared across the program.
#pragma once
#include <cstddef>
#include <cstdint>

// Finds tag (for example "[numberbackground:") in text and reads "%f,%f,%f" after it
// into rgb bytes (each clamped to 0..1, times 255, truncated). Leaves rgb alone otherwise.
void parse_colour_tag(const char* text, const char* tag, uint8_t rgb[3]);
// The bytes of text a message keeps when it cuts the text at max: never more than
// max, and never the first bytes of a multibyte UTF-8 character without the rest.
size_t text_cut_length(const char* text, size_t max);
// 1 when text is at least as long as suffix and ends with it.
int str_ends_with(const char* text, const char* suffix);
// vsnprintf into buffer of size bytes (truncating); returns the length written.
int format_string(char* buffer, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
