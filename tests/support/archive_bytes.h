// Data files built in memory: gzip members with chosen header fields and ".saf"
// archives.
#pragma once
#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace bvtest {

struct GzipHeader {
    bool name = false, comment = false, extra = false, header_crc = false;
};

// One gzip member holding data, with the chosen optional header fields.
inline std::string gzip_bytes(const std::string& data, GzipHeader fields = {})
{
    static char name[] = "original-name.txt";
    static char comment[] = "a comment";
    static unsigned char extra[] = {'A', 'P', 4, 0, 1, 2, 3, 4};
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
    gz_header header{};
    header.name = fields.name ? reinterpret_cast<Bytef*>(name) : nullptr;
    header.comment = fields.comment ? reinterpret_cast<Bytef*>(comment) : nullptr;
    header.extra = fields.extra ? extra : nullptr;
    header.extra_len = fields.extra ? sizeof extra : 0;
    header.hcrc = fields.header_crc;
    deflateSetHeader(&z, &header);
    std::string out(deflateBound(&z, data.size()) + 256, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// One gzip member of n copies of byte c, made without holding them all: a small file
// that inflates to n bytes (about a thousandth of its size).
inline std::string gzip_repeated(char c, size_t n)
{
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
    const std::string block(1 << 20, c);
    std::string out;
    char buffer[1 << 16];
    for (size_t left = n;;) {
        const size_t take = std::min(left, block.size());
        left -= take;
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(block.data()));
        z.avail_in = static_cast<uInt>(take);
        const int flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
        int result;
        do {
            z.next_out = reinterpret_cast<Bytef*>(buffer);
            z.avail_out = sizeof buffer;
            result = deflate(&z, flush);
            out.append(buffer, sizeof buffer - z.avail_out);
        } while (z.avail_out == 0 || (flush == Z_FINISH && result != Z_STREAM_END));
        if (left == 0)
            break;
    }
    deflateEnd(&z);
    return out;
}

// A ".saf" archive: "<size> <name>\n" lines, "-\n", then the data back to back.
inline std::string saf_bytes(const std::vector<std::pair<std::string, std::string>>& entries)
{
    std::string header, data;
    for (const auto& [name, bytes] : entries) {
        header += std::to_string(bytes.size()) + " " + name + "\n";
        data += bytes;
    }
    return header + "-\n" + data;
}

}  // namespace bvtest
