#include "foundation/start/startup_check.h"

#include "foundation/door/data_place.h"
#include "foundation/door/data_read.h"
#include "foundation/door/data_write.h"
#include "foundation/door/download.h"
#include "foundation/door/running_lock.h"
#include "foundation/door/search_folders.h"
#include "foundation/numbers/ripemd160.h"
#include "platform/qorl_log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr size_t kDigestedBytes = 1048576;
constexpr size_t kReadChunk = 256;

char base_digest[41] = "";

// A base archive is read as every data file is, so a pipe of its name ends the check
// instead of waiting for a writer.
bool archive_matches(int folder)
{
    FILE* file = data_read_open("zzzz.saf", folder, "rb");
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

// The log's file is made by the write step, like every file in the user folder: a
// link or a pipe standing at "lastlog.txt" is replaced, never written through. A copy
// started while another runs keeps no log file: the running copy's stays its own.
void offer_log_file(bool may)
{
    if (getenv("QORL_LOGFILE") || !user_data_folder() || !may) {
        qorl_log_use_file(nullptr, nullptr);
        return;
    }
    data_place place;
    std::string temp;
    FILE* file = nullptr;
    if (data_place_open("@lastlog.txt", place) && (file = data_place_temp(place, temp)) &&
        !data_place_rename(place, temp)) {
        fclose(file);
        file = nullptr;
        data_place_unlink(place, temp);
    }
    data_place_close(place);
    qorl_log_use_file(file, place.target.c_str());
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
    // Nothing may reach the log before the offer: the first message decides its file,
    // and the running lock decides whether this copy may place one.
    offer_log_file(running_lock_take());
    running_lock_tell();
    download_choose_read_step();
    for (int i = 0; data_search_dir(i); ++i)
        if (archive_matches(i))
            return 1;
    return 0;
}
