// Packs a folder into a ".saf" archive and writes a C++ header with the RIPEMD-160
// digest of the archive's first 1 MiB, which the program checks at start-up.
//
// Archive layout: header lines "<decimal size> <relative name>\n", one per file in
// byte order of the names, then a line "-\n", then the files' bytes back to back.
//
//   saf_pack <folder> <archive.saf> <digest-header.h>
#include "foundation/numbers/ripemd160.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct packed_file {
    std::string name;
    std::string bytes;
};

bool read_whole(const fs::path& path, std::string& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Writes the file only when its bytes change, so dependants are not rebuilt needlessly.
bool write_if_changed(const fs::path& path, const std::string& bytes)
{
    std::string old;
    if (read_whole(path, old) && old == bytes)
        return true;
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        fprintf(stderr, "usage: saf_pack <folder> <archive.saf> <digest-header.h>\n");
        return 2;
    }
    const fs::path folder = argv[1];

    std::vector<packed_file> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file())
            continue;
        packed_file f;
        f.name = fs::relative(entry.path(), folder).generic_string();
        if (f.name.find('\n') != std::string::npos || f.name.size() > 1000) {
            fprintf(stderr, "saf_pack: unusable file name %s\n", f.name.c_str());
            return 1;
        }
        if (!read_whole(entry.path(), f.bytes)) {
            fprintf(stderr, "saf_pack: cannot read %s\n", entry.path().c_str());
            return 1;
        }
        files.push_back(std::move(f));
    }
    std::sort(files.begin(), files.end(),
              [](const packed_file& a, const packed_file& b) { return a.name < b.name; });

    std::string archive;
    for (const packed_file& f : files)
        archive += std::to_string(f.bytes.size()) + " " + f.name + "\n";
    archive += "-\n";
    for (const packed_file& f : files)
        archive += f.bytes;

    ripemd160_ctx ctx;
    ripemd160_init(&ctx);
    ripemd160_update(&ctx, archive.data(), std::min<size_t>(archive.size(), 1048576));
    ripemd160_final(&ctx);
    char hex[41];
    ripemd160_to_hex(ctx.digest, hex);

    std::string header =
        "// Made by saf_pack from the bundled base data: the digest of zzzz.saf's first 1 MiB.\n"
        "#pragma once\n"
        "inline constexpr char base_archive_digest[] = \"" + std::string(hex) + "\";\n";

    if (!write_if_changed(argv[2], archive) || !write_if_changed(argv[3], header)) {
        fprintf(stderr, "saf_pack: cannot write the outputs\n");
        return 1;
    }
    return 0;
}
