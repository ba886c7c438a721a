// What the scanning engine reads through: a byte source with a single character of
// look-ahead, the reader over it, and the field of one conversion.
#pragma once
#include <cstdint>

struct scan_source {
    int (*raw_getc)(void* context);  // next byte 0..255 or -1 at the end; advances *position
    void* context;
    int32_t* pushed_back;            // the look-ahead character, -1 for none
    const uint32_t* position;        // raw bytes taken from the source so far
};

// Locale-independent, like isspace in the "C" locale.
inline bool scan_is_space(int c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

inline bool scan_is_decimal(int c)
{
    return c >= '0' && c <= '9';
}

// The source plus its one pushed-back character.
class scan_reader {
public:
    explicit scan_reader(const scan_source& source) : source_(source) {}

    int get()
    {
        const int c = *source_.pushed_back;
        if (c >= 0) {
            *source_.pushed_back = -1;
            return c;
        }
        return source_.raw_getc(source_.context);
    }

    void unget(int c)
    {
        if (c >= 0)
            *source_.pushed_back = c;
    }

    // Consumes white space; the first other character is returned, taken, or -1.
    int skip_spaces(int* skipped = nullptr)
    {
        int n = 0;
        int c = get();
        for (; c >= 0 && scan_is_space(c); c = get())
            ++n;
        if (skipped)
            *skipped = n;
        return c;
    }

private:
    const scan_source& source_;
};

// The characters of one conversion, at most `width` of them. A character is only
// read from the source while the width still allows taking it, so a field that stops
// at its width leaves the next character unread rather than pushed back.
class scan_field {
public:
    scan_field(scan_reader& in, int first, int width) : in_(in), c_(first), left_(width) {}

    int peek()
    {
        if (c_ == unread) {
            if (left_ == 0)
                return -1;
            c_ = in_.get();
        }
        return c_;
    }

    void take()
    {
        --left_;
        c_ = unread;
    }

    // The character that stopped the field goes back to the source.
    void finish()
    {
        if (c_ >= 0)
            in_.unget(c_);
        c_ = unread;
    }

private:
    static constexpr int unread = -2;
    scan_reader& in_;
    int c_;
    int left_;
};
