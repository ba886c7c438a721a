#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "foundation/numbers/ripemd160.h"

namespace {

// The digest of data fed in pieces of chunk bytes, as text.
std::string digest_hex(const std::string& data, size_t chunk = SIZE_MAX)
{
    ripemd160_ctx ctx;
    ripemd160_init(&ctx);
    for (size_t at = 0; at < data.size(); at += chunk)
        ripemd160_update(&ctx, data.data() + at, std::min(chunk, data.size() - at));
    ripemd160_final(&ctx);
    char hex[41];
    ripemd160_to_hex(ctx.digest, hex);
    return hex;
}

TEST(Ripemd160, PublishedVectors)
{
    const std::string million(1000000, 'a');
    const struct { std::string input; const char* digest; } vectors[] = {
        {"", "9c1185a5c5e9fc54612808977ee8f548b2258d31"},
        {"a", "0bdc9d2d256b3ee9daae347be6f4dc835a467ffe"},
        {"abc", "8eb208f7e05d987a9b044a8e98c6b087f15a0bfc"},
        {"message digest", "5d0689ef49d2fae572b881b123a85ffa21595f36"},
        {"abcdefghijklmnopqrstuvwxyz", "f71c27109c692c1b56bbdceb5b9d2865b3708dbc"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "12a053384a9c0c88e405a06c27dcf49ada62eb2b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "b0e20b6e3116640286ed3a87a5713079b21f5189"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "9b752e45573d4b39f4dbd3323cab82bf63326bfb"},
        {million, "52783243c1697bdbe16d37f97f68f08325dc1528"},
    };
    for (const auto& v : vectors)
        EXPECT_EQ(digest_hex(v.input), v.digest) << "input of " << v.input.size() << " bytes";
    EXPECT_EQ(digest_hex(million, 4096), "52783243c1697bdbe16d37f97f68f08325dc1528");
}

TEST(Ripemd160, SplitFeedingGivesTheSameDigest)
{
    // Lengths around the padding boundaries, each fed in every chunk size.
    std::string data;
    for (int i = 0; i < 300; ++i)
        data += char(i * 37 + 11);
    for (size_t length : {55u, 56u, 63u, 64u, 65u, 119u, 120u, 300u}) {
        std::string part = data.substr(0, length);
        std::string whole = digest_hex(part);
        for (size_t chunk = 1; chunk <= length; ++chunk)
            ASSERT_EQ(digest_hex(part, chunk), whole) << "length " << length << " chunk " << chunk;
    }
}

TEST(Ripemd160, HexComparisonWantsExactlyFortyDigits)
{
    ripemd160_ctx ctx;
    ripemd160_init(&ctx);
    ripemd160_update(&ctx, "abc", 3);
    ripemd160_final(&ctx);
    EXPECT_EQ(ripemd160_matches_hex("8eb208f7e05d987a9b044a8e98c6b087f15a0bfc", ctx.digest), 1);
    EXPECT_EQ(ripemd160_matches_hex("8EB208F7E05D987A9B044A8E98C6B087F15A0BFC", ctx.digest), 1);
    for (const char* text : {
             "8eb208f7e05d987a9b044a8e98c6b087f15a0bfd",    // last byte differs
             "9eb208f7e05d987a9b044a8e98c6b087f15a0bfc",    // first byte differs
             "8eb208f7e05d987a9b044a8e98c6b087f15a0bf",     // one digit short
             "",
             "8eb208f7e05d987a9b044a8e98c6b087f15a0bfc0",   // trailing digit
             " 8eb208f7e05d987a9b044a8e98c6b087f15a0bf",    // leading space
             "8eb208f7e05d987a9b044a8e98c6b087f15a0b+c",    // sign inside a pair
             "8eb208f7e05d987a9b044a8e98c6b087f15a0bxc",
         })
        EXPECT_EQ(ripemd160_matches_hex(text, ctx.digest), 0) << "\"" << text << "\"";
    EXPECT_EQ(ripemd160_matches_hex(nullptr, ctx.digest), 0);
}

}  // namespace
