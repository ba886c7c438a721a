#include "foundation/text/text_util.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "foundation/text/scan.h"

namespace {

uint8_t colour_byte(float value)
{
    // Written so that a NaN lands on 0 as well.
    if (!(value > 0.0f))
        return 0;
    if (value >= 1.0f)
        return 255;
    return uint8_t(value * 255.0f);
}

}  // namespace

void parse_colour_tag(const char* text, const char* tag, uint8_t rgb[3])
{
    if (!text || !tag)
        return;
    const char* found = strstr(text, tag);
    if (!found)
        return;
    float red, green, blue;
    if (scan_string(found + strlen(tag), "%f,%f,%f", &red, &green, &blue) != 3)
        return;
    rgb[0] = colour_byte(red);
    rgb[1] = colour_byte(green);
    rgb[2] = colour_byte(blue);
}

int format_string(char* buffer, size_t size, const char* format, ...)
{
    if (!buffer || size == 0)
        return 0;
    va_list args;
    va_start(args, format);
    int wanted = vsnprintf(buffer, size, format, args);
    va_end(args);
    if (wanted < 0) {
        buffer[0] = '\0';
        return 0;
    }
    return size_t(wanted) < size ? wanted : int(size - 1);
}

size_t text_cut_length(const char* text, size_t max)
{
    size_t n = strnlen(text, max + 1);
    if (n <= max)
        return n;
    n = max;
    // The byte past the cut continues a character: the cut moves back to its start
    // (a character is at most four bytes; stray continuation bytes stand alone).
    for (int back = 0; back < 3 && n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80; ++back)
        --n;
    if ((static_cast<unsigned char>(text[n]) & 0xC0) != 0xC0)
        n = max;
    return n;
}

int str_ends_with(const char* text, const char* suffix)
{
    const size_t length = strlen(text), suffix_length = strlen(suffix);
    return length >= suffix_length && memcmp(text + length - suffix_length, suffix, suffix_length) == 0;
}
