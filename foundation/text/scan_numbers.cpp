#include <cmath>
#include <limits>

#include "foundation/text/scan_numbers.h"

namespace {

// Far beyond the range of long double, small enough that no sum can overflow.
constexpr int64_t exponent_limit = 100000;

// Digits past this many carry no weight in an 80-bit mantissa; further integer digits
// only raise the exponent, so a very long number cannot overflow the accumulator.
constexpr int significant_digits_kept = 40;

// 0-9, then letters of either case as 10-35; anything else is no digit of any base.
uint32_t digit_value(int c)
{
    if (c >= '0' && c <= '9')
        return static_cast<uint32_t>(c - '0');
    if (c >= 'a' && c <= 'z')
        return static_cast<uint32_t>(c - 'a' + 10);
    if (c >= 'A' && c <= 'Z')
        return static_cast<uint32_t>(c - 'A' + 10);
    return 99;
}

int64_t clamp_exponent(int64_t e)
{
    return e > exponent_limit ? exponent_limit : e < -exponent_limit ? -exponent_limit : e;
}

// Takes a leading "+" or "-"; true for "-".
bool read_sign(scan_field& in)
{
    const int c = in.peek();
    if (c != '+' && c != '-')
        return false;
    in.take();
    return c == '-';
}

template <typename T>
T narrow(long double v)
{
    constexpr T largest = std::numeric_limits<T>::max();
    if (!(std::fabs(v) > static_cast<long double>(largest)))
        return static_cast<T>(v);
    const long double half_step =
        (static_cast<long double>(largest) - std::nextafter(largest, T(0))) / 2;
    const T magnitude = std::fabs(v) >= static_cast<long double>(largest) + half_step
                            ? std::numeric_limits<T>::infinity()
                            : largest;
    return v < 0 ? -magnitude : magnitude;
}

}  // namespace

bool scan_read_integer(scan_field& in, int conversion, uint32_t* out)
{
    const bool negative = read_sign(in);
    uint32_t base = conversion == 'd' || conversion == 'u' ? 10 : conversion == 'o' ? 8 : conversion == 'i' ? 0 : 16;
    uint32_t value = 0;
    bool any = false;
    if (base == 0) {
        base = 10;
        if (in.peek() == '0') {
            in.take();
            any = true;
            base = 8;
            const int c = in.peek();
            if (c == 'x' || c == 'X') {
                in.take();
                base = 16;
            }
        }
    }
    for (uint32_t d; (d = digit_value(in.peek())) < base; in.take()) {
        value = value * base + d;
        any = true;
    }
    in.finish();
    *out = negative ? 0u - value : value;
    return any;
}

// With one character of look-ahead, a half-written exponent ("1e+x") keeps the
// number read so far; its "e" and sign are consumed.
bool scan_read_float(scan_field& in, long double* out)
{
    const bool negative = read_sign(in);
    long double mantissa = 0;
    int64_t exponent = 0;
    int significant = 0;
    bool any = false;
    bool dot = false;
    for (;;) {
        const int c = in.peek();
        if (scan_is_decimal(c)) {
            any = true;
            if (significant < significant_digits_kept) {
                mantissa = mantissa * 10 + (c - '0');
                if (mantissa != 0)
                    ++significant;
                if (dot)
                    exponent = clamp_exponent(exponent - 1);
            } else if (!dot) {
                exponent = clamp_exponent(exponent + 1);
            }
        } else if (c == '.' && !dot) {
            dot = true;
        } else {
            break;
        }
        in.take();
    }
    if (!any) {
        in.finish();
        return false;
    }
    if (in.peek() == 'e' || in.peek() == 'E') {
        in.take();
        const bool exponent_negative = read_sign(in);
        int64_t e = 0;
        for (; scan_is_decimal(in.peek()); in.take())
            e = clamp_exponent(e * 10 + (in.peek() - '0'));
        exponent = clamp_exponent(exponent + (exponent_negative ? -e : e));
    }
    in.finish();
    const long double value = scan_scale_decimal(mantissa, static_cast<int32_t>(exponent));
    *out = negative ? -value : value;
    return true;
}

long double scan_scale_decimal(long double mantissa, int32_t exponent)
{
    static constexpr long double powers[] = {1e1L,   1e2L,   1e4L,    1e8L,    1e16L,
                                             1e32L,  1e64L,  1e128L,  1e256L,  1e512L,
                                             1e1024L, 1e2048L, 1e4096L};
    if (mantissa == 0)
        return 0;
    uint32_t e = exponent < 0 ? 0u - static_cast<uint32_t>(exponent) : static_cast<uint32_t>(exponent);
    long double scale = 1;
    for (; e >= 8192; e -= 4096)
        scale *= powers[12];
    for (int bit = 0; bit < 13; ++bit)
        if (e & (1u << bit))
            scale *= powers[bit];
    return exponent < 0 ? mantissa / scale : mantissa * scale;
}

float scan_to_float(long double v)
{
    return narrow<float>(v);
}

double scan_to_double(long double v)
{
    return narrow<double>(v);
}
