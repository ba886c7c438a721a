#include "foundation/numbers/ripemd160.h"

#include <cstring>

namespace {

// Message word order and rotation amounts of the two parallel lines, 5 rounds of 16.
constexpr uint8_t kWordLeft[80] = {
    0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15,
    7, 4, 13, 1, 10, 6, 15, 3, 12, 0, 9, 5, 2, 14, 11, 8,
    3, 10, 14, 4, 9, 15, 8, 1, 2, 7, 0, 6, 13, 11, 5, 12,
    1, 9, 11, 10, 0, 8, 12, 4, 13, 3, 7, 15, 14, 5, 6, 2,
    4, 0, 5, 9, 7, 12, 2, 10, 14, 1, 3, 8, 11, 6, 15, 13};
constexpr uint8_t kWordRight[80] = {
    5, 14, 7, 0, 9, 2, 11, 4, 13, 6, 15, 8, 1, 10, 3, 12,
    6, 11, 3, 7, 0, 13, 5, 10, 14, 15, 8, 12, 4, 9, 1, 2,
    15, 5, 1, 3, 7, 14, 6, 9, 11, 8, 12, 2, 10, 0, 4, 13,
    8, 6, 4, 1, 3, 11, 15, 0, 5, 12, 2, 13, 9, 7, 10, 14,
    12, 15, 10, 4, 1, 5, 8, 7, 6, 2, 13, 14, 0, 3, 9, 11};
constexpr uint8_t kShiftLeft[80] = {
    11, 14, 15, 12, 5, 8, 7, 9, 11, 13, 14, 15, 6, 7, 9, 8,
    7, 6, 8, 13, 11, 9, 7, 15, 7, 12, 15, 9, 11, 7, 13, 12,
    11, 13, 6, 7, 14, 9, 13, 15, 14, 8, 13, 6, 5, 12, 7, 5,
    11, 12, 14, 15, 14, 15, 9, 8, 9, 14, 5, 6, 8, 6, 5, 12,
    9, 15, 5, 11, 6, 8, 13, 12, 5, 12, 13, 14, 11, 8, 5, 6};
constexpr uint8_t kShiftRight[80] = {
    8, 9, 9, 11, 13, 15, 15, 5, 7, 7, 8, 11, 14, 14, 12, 6,
    9, 13, 15, 7, 12, 8, 9, 11, 7, 7, 12, 7, 6, 15, 13, 11,
    9, 7, 15, 11, 8, 6, 6, 14, 12, 13, 5, 14, 13, 13, 7, 5,
    15, 5, 8, 11, 14, 14, 6, 14, 6, 9, 12, 9, 12, 5, 15, 8,
    8, 5, 12, 9, 12, 5, 14, 6, 8, 13, 6, 5, 15, 13, 11, 11};
constexpr uint32_t kConstLeft[5] = {0x00000000, 0x5A827999, 0x6ED9EBA1, 0x8F1BBCDC, 0xA953FD4E};
constexpr uint32_t kConstRight[5] = {0x50A28BE6, 0x5C4DD124, 0x6D703EF3, 0x7A6D76E9, 0x00000000};

constexpr uint32_t rol(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

// The five boolean functions; the right line uses them in reverse order.
template <int round>
constexpr uint32_t mix(uint32_t x, uint32_t y, uint32_t z)
{
    if constexpr (round == 0)
        return x ^ y ^ z;
    else if constexpr (round == 1)
        return (x & y) | (~x & z);
    else if constexpr (round == 2)
        return (x | ~y) ^ z;
    else if constexpr (round == 3)
        return (x & z) | (y & ~z);
    else
        return x ^ (y | ~z);
}

struct lines {
    uint32_t al, bl, cl, dl, el;
    uint32_t ar, br, cr, dr, er;
};

// One step of a line: f is the round's function of b, c and d.
inline void step(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d, uint32_t& e, uint32_t f, uint32_t word,
                 uint32_t k, int shift)
{
    const uint32_t t = rol(a + f + word + k, shift) + e;
    a = e;
    e = d;
    d = rol(c, 10);
    c = b;
    b = t;
}

// One round of 16 steps on both lines, unrolled so that the function, the word
// order and the rotations are constants: the digest covers every track file and the
// heights at each track load.
template <int round>
inline void run_round(lines& v, const uint32_t x[16])
{
#pragma GCC unroll 16
    for (int k = 0; k < 16; ++k) {
        const int j = round * 16 + k;
        step(v.al, v.bl, v.cl, v.dl, v.el, mix<round>(v.bl, v.cl, v.dl), x[kWordLeft[j]], kConstLeft[round],
             kShiftLeft[j]);
        step(v.ar, v.br, v.cr, v.dr, v.er, mix<4 - round>(v.br, v.cr, v.dr), x[kWordRight[j]], kConstRight[round],
             kShiftRight[j]);
    }
}

void compress(uint32_t state[5], const uint8_t block[64])
{
    uint32_t x[16];
    for (int i = 0; i < 16; ++i)
        x[i] = uint32_t(block[4 * i]) | uint32_t(block[4 * i + 1]) << 8 |
               uint32_t(block[4 * i + 2]) << 16 | uint32_t(block[4 * i + 3]) << 24;

    lines v{state[0], state[1], state[2], state[3], state[4], state[0], state[1], state[2], state[3], state[4]};
    run_round<0>(v, x);
    run_round<1>(v, x);
    run_round<2>(v, x);
    run_round<3>(v, x);
    run_round<4>(v, x);
    uint32_t t = state[1] + v.cl + v.dr;
    state[1] = state[2] + v.dl + v.er;
    state[2] = state[3] + v.el + v.ar;
    state[3] = state[4] + v.al + v.br;
    state[4] = state[0] + v.bl + v.cr;
    state[0] = t;
}

int hex_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

void ripemd160_init(ripemd160_ctx* ctx)
{
    ctx->state[0] = 0x67452301;
    ctx->state[1] = 0xEFCDAB89;
    ctx->state[2] = 0x98BADCFE;
    ctx->state[3] = 0x10325476;
    ctx->state[4] = 0xC3D2E1F0;
    memset(ctx->digest, 0, sizeof ctx->digest);
    ctx->count_low = 0;
    ctx->count_high = 0;
    ctx->buffered = 0;
}

void ripemd160_update(ripemd160_ctx* ctx, const void* data, size_t length)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    uint64_t count = (uint64_t(ctx->count_high) << 32 | ctx->count_low) + length;
    ctx->count_low = uint32_t(count);
    ctx->count_high = uint32_t(count >> 32);

    if (ctx->buffered) {
        size_t take = 64 - ctx->buffered;
        if (take > length)
            take = length;
        memcpy(ctx->buffer + ctx->buffered, bytes, take);
        ctx->buffered += uint32_t(take);
        bytes += take;
        length -= take;
        if (ctx->buffered < 64)
            return;
        compress(ctx->state, ctx->buffer);
        ctx->buffered = 0;
    }
    for (; length >= 64; bytes += 64, length -= 64)
        compress(ctx->state, bytes);
    memcpy(ctx->buffer, bytes, length);
    ctx->buffered = uint32_t(length);
}

void ripemd160_final(ripemd160_ctx* ctx)
{
    // Padding: 0x80, zeros up to 56 mod 64, then the length in bits, little-endian.
    uint64_t bits = (uint64_t(ctx->count_high) << 32 | ctx->count_low) << 3;
    uint8_t* buffer = ctx->buffer;
    uint32_t n = ctx->buffered;
    buffer[n++] = 0x80;
    if (n > 56) {
        memset(buffer + n, 0, 64 - n);
        compress(ctx->state, buffer);
        n = 0;
    }
    memset(buffer + n, 0, 56 - n);
    for (int i = 0; i < 8; ++i)
        buffer[56 + i] = uint8_t(bits >> (8 * i));
    compress(ctx->state, buffer);
    ctx->buffered = 0;

    for (int i = 0; i < 5; ++i)
        for (int b = 0; b < 4; ++b)
            ctx->digest[4 * i + b] = uint8_t(ctx->state[i] >> (8 * b));
}

int ripemd160_matches_hex(const char* text, const uint8_t digest[20])
{
    if (!text)
        return 0;
    for (int i = 0; i < 20; ++i) {
        int high = hex_value(text[2 * i]);
        if (high < 0)
            return 0;
        int low = hex_value(text[2 * i + 1]);
        if (low < 0 || (high << 4 | low) != digest[i])
            return 0;
    }
    return text[40] == '\0';
}

void ripemd160_to_hex(const uint8_t digest[20], char out[41])
{
    static constexpr char kDigits[] = "0123456789abcdef";
    for (int i = 0; i < 20; ++i) {
        out[2 * i] = kDigits[digest[i] >> 4];
        out[2 * i + 1] = kDigits[digest[i] & 15];
    }
    out[40] = '\0';
}
