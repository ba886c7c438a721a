#include <climits>

#include "foundation/text/scan_engine.h"
#include "foundation/text/scan_numbers.h"

namespace {

constexpr int no_width = INT_MAX;

// What a conversion answers when the walk goes on; anything else is the scan's result.
constexpr int keep_going = INT_MIN;

// One call's walk of the format, with its own copy of the argument list.
class scan_walk {
public:
    scan_walk(const scan_source& source, va_list args)
        : source_(source), in_(source), start_position_(*source.position),
          start_pushed_(*source.pushed_back >= 0)
    {
        va_copy(args_, args);
    }
    ~scan_walk() { va_end(args_); }
    scan_walk(const scan_walk&) = delete;
    scan_walk& operator=(const scan_walk&) = delete;

    int run(const char* format);

private:
    int end_of_data() const { return count_ ? count_ : -1; }
    uint32_t consumed() const;
    void store_integer(uint32_t value, bool half);
    int conversion(const unsigned char*& f);
    int scan_set(const unsigned char*& f, bool suppress, int width);

    const scan_source& source_;
    scan_reader in_;
    const uint32_t start_position_;
    const bool start_pushed_;
    va_list args_;
    int count_ = 0;
};

// Characters consumed since the scan began: raw bytes taken, plus a look-ahead that
// was there at the start, less one that is there now.
uint32_t scan_walk::consumed() const
{
    return *source_.position - start_position_ + (start_pushed_ ? 1u : 0u) -
           (*source_.pushed_back >= 0 ? 1u : 0u);
}

void scan_walk::store_integer(uint32_t value, bool half)
{
    if (half)
        *va_arg(args_, short*) = static_cast<short>(static_cast<uint16_t>(value));
    else
        *va_arg(args_, int*) = static_cast<int>(value);
}

int scan_walk::run(const char* format)
{
    const auto* f = reinterpret_cast<const unsigned char*>(format);
    while (*f) {
        if (scan_is_space(*f)) {
            in_.unget(in_.skip_spaces());
            ++f;
        } else if (*f != '%') {
            const int c = in_.get();
            if (c != *f) {
                in_.unget(c);
                return -1;
            }
            ++f;
        } else {
            ++f;
            const int result = conversion(f);
            if (result != keep_going)
                return result;
        }
    }
    return count_;
}

// One conversion, from just after its "%".
int scan_walk::conversion(const unsigned char*& f)
{
    bool suppress = false;
    if (*f == '*') {
        suppress = true;
        ++f;
    }
    int width = 0;
    for (; scan_is_decimal(*f); ++f)
        width = width > (INT_MAX - 9) / 10 ? INT_MAX : width * 10 + (*f - '0');
    if (width == 0)
        width = no_width;
    int h = 0, l = 0;
    bool extended = false;
    for (;; ++f) {
        if (*f == 'h')
            ++h;
        else if (*f == 'l')
            ++l;
        else if (*f == 'L' || *f == 'q')
            extended = true;
        else
            break;
    }
    const int letter = *f;
    if (letter == 0)
        return count_;
    ++f;

    switch (letter) {
    case '%': {
        const int c = in_.get();
        if (c != '%') {
            in_.unget(c);
            return -1;
        }
        return keep_going;
    }
    case 'n':
        if (!suppress)
            store_integer(consumed(), h > 0);
        return keep_going;
    case 'c': {
        int c = in_.get();
        if (c < 0)
            return end_of_data();
        const int n = width == no_width ? 1 : width;
        char* out = suppress ? nullptr : va_arg(args_, char*);
        for (int i = 0;;) {
            if (out)
                out[i] = static_cast<char>(c);
            if (++i == n)
                break;
            c = in_.get();
            if (c < 0)
                break;
        }
        if (!suppress)
            ++count_;
        return keep_going;
    }
    case '[':
        return scan_set(f, suppress, width);
    case 'd':
    case 'u':
    case 'i':
    case 'o':
    case 'x':
    case 'X': {
        const int c = in_.skip_spaces();
        if (c < 0)
            return end_of_data();
        scan_field digits(in_, c, width);
        uint32_t value = 0;
        if (!scan_read_integer(digits, letter, &value))
            return count_;
        if (!suppress) {
            store_integer(value, h > 0);
            ++count_;
        }
        return keep_going;
    }
    case 'f': {
        const int c = in_.skip_spaces();
        if (c < 0)
            return end_of_data();
        if (width == 1) {
            in_.unget(c);
            return count_;
        }
        scan_field number(in_, c, width);
        long double value = 0;
        if (!scan_read_float(number, &value))
            return count_;
        if (!suppress) {
            if (extended || l >= 2)
                *va_arg(args_, long double*) = value;
            else if (l == 1)
                *va_arg(args_, double*) = scan_to_double(value);
            else
                *va_arg(args_, float*) = scan_to_float(value);
            ++count_;
        }
        return keep_going;
    }
    case 's': {
        const int c = in_.skip_spaces();
        if (c < 0)
            return end_of_data();
        char* out = suppress ? nullptr : va_arg(args_, char*);
        scan_field word(in_, c, width);
        int n = 0;
        for (int w; (w = word.peek()) >= 0 && !scan_is_space(w); word.take()) {
            if (out)
                out[n] = static_cast<char>(w);
            ++n;
        }
        word.finish();
        if (out) {
            out[n] = 0;
            ++count_;
        }
        return keep_going;
    }
    default:
        return count_;
    }
}

// "[" set "]": a "^" first negates; the first member is literal even when it is "]";
// "a-z" is a range unless the "-" is followed by "]" or the end of the format.
int scan_walk::scan_set(const unsigned char*& f, bool suppress, int width)
{
    bool member[256] = {};
    const unsigned char* p = f;
    bool negate = false;
    if (*p == '^') {
        negate = true;
        ++p;
    }
    for (bool first = true; first || *p != ']'; first = false) {
        if (*p == 0)
            return count_;
        if (p[1] == '-' && p[2] != ']' && p[2] != 0) {
            for (int c = p[0]; c <= p[2]; ++c)
                member[c] = true;
            p += 3;
        } else {
            member[*p] = true;
            ++p;
        }
    }
    f = p + 1;

    const int c = in_.get();
    if (c < 0)
        return end_of_data();
    char* out = suppress ? nullptr : va_arg(args_, char*);
    scan_field run(in_, c, width);
    int n = 0;
    for (int w; (w = run.peek()) >= 0 && member[w] != negate; run.take()) {
        if (out)
            out[n] = static_cast<char>(w);
        ++n;
    }
    run.finish();
    if (n == 0 || suppress)
        return count_;
    out[n] = 0;
    ++count_;
    return keep_going;
}

}  // namespace

int scan_run(const scan_source& source, const char* format, va_list args)
{
    if (!*format)
        return 0;
    scan_walk walk(source, args);
    return walk.run(format);
}

int scan_skip_spaces(const scan_source& source)
{
    scan_reader in(source);
    int skipped = 0;
    const int c = in.skip_spaces(&skipped);
    if (c < 0)
        return -1;
    in.unget(c);
    return skipped;
}
