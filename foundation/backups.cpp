// Numbered backups: before a "~" mode overwrites a file, the old bytes are copied to
// "<path>.~N~" with the first free N, so no save ever destroys the previous one.
#include "foundation/data_paths_internal.h"

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

constexpr size_t kBackupPathMax = 1000;
constexpr int kMaxBackups = 9999;
constexpr size_t kCopyBlock = 65536;

bool copy_stream(FILE* from, FILE* to)
{
    std::vector<unsigned char> block(kCopyBlock);
    for (;;) {
        size_t got = fread(block.data(), 1, block.size(), from);
        if (got > 0 && fwrite(block.data(), 1, got, to) != got)
            return false;
        if (got < block.size())
            return !ferror(from);
    }
}

// Copies path to its first free backup name; false leaves no half-made backup behind.
bool make_backup(const char* path, FILE* existing)
{
    std::string name;
    for (int d = 1; d <= kMaxBackups; ++d) {
        name = std::string(path) + ".~" + std::to_string(d) + "~";
        // "x" (O_EXCL): an existing backup is never overwritten, even one we cannot read.
        FILE* backup = fopen(name.c_str(), "wbx");
        if (!backup) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        bool copied = copy_stream(existing, backup);
        if (fclose(backup) != 0)
            copied = false;
        if (!copied)
            remove(name.c_str());
        return copied;
    }
    return false;
}

}  // namespace

FILE* open_with_backup(const char* path, const char* mode)
{
    if (mode[0] != '~')
        return fopen(path, mode);
    if (strlen(path) > kBackupPathMax)
        return nullptr;
    const char* plain_mode = mode + 1;
    FILE* existing = fopen(path, "rb");
    if (!existing)
        return fopen(path, plain_mode);
    bool backed_up = make_backup(path, existing);
    fclose(existing);
    return backed_up ? fopen(path, plain_mode) : nullptr;
}
