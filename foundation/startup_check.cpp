// The start-up data check: make the user data folder, offer the log its file name,
// and find a base archive whose first 1 MiB has the digest the program was built with.
#include "foundation/data_name.h"
#include "foundation/data_paths.h"
#include "foundation/data_paths_internal.h"
#include "foundation/os_paths.h"
#include "foundation/ripemd160.h"
#include "platform/qorl_log.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr size_t kOfferMax = 1023;
constexpr size_t kFolderTextMax = 1023;
constexpr size_t kDigestedBytes = 1048576;
constexpr size_t kReadChunk = 256;

char base_digest[41] = "";

bool archive_matches(const std::string& path)
{
    FILE* file = fopen(path.c_str(), "rb");
    if (!file)
        return false;
    ripemd160_ctx ctx;
    ripemd160_init(&ctx);
    unsigned char chunk[kReadChunk];
    size_t total = 0;
    while (total < kDigestedBytes) {
        size_t got = fread(chunk, 1, sizeof chunk, file);
        if (got == 0)
            break;
        ripemd160_update(&ctx, chunk, got);
        total += got;
    }
    fclose(file);
    ripemd160_final(&ctx);
    return ripemd160_matches_hex(base_digest, ctx.digest) == 1;
}

}  // namespace

void set_base_archive_digest(const char* hex40)
{
    // Anything but 40 characters can never match, so it is not kept at all.
    if (hex40 && strlen(hex40) == 40)
        memcpy(base_digest, hex40, 41);
    else
        base_digest[0] = '\0';
}

int startup_check_data()
{
    // Nothing may reach the log before the offer: the first message decides its file.
    std::string path;
    if (data_read_path("@lastlog.txt", 0, path)) {
        if (path.size() <= kFolderTextMax)
            os_make_parent_folders(path.c_str());
        // A cut offer would name another file, which the log would then truncate.
        std::string offer = "QORL_LOGFILE=" + path;
        if (offer.size() <= kOfferMax)
            qorl_log("%s", offer.c_str());
    }

    for (int i = 0; data_search_dir(i); ++i) {
        if (data_read_path("@zzzz.saf", i, path) && archive_matches(path))
            return 1;
    }
    return 0;
}
