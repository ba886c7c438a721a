#include "race/net/net_upload.h"

#include "foundation/vfs/vfs.h"
#include "foundation/front_door.h"
#include "race/net/net_channel.h"
#include "race/net/net_connection.h"
#include "race/program/run_clock.h"
#include "race/net/wire_records.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int kPartBytes = 256;
constexpr double kPartInterval = 0.25;
constexpr char kPartPrefix[] = "sendpart -";
// The channel delivers one packet a round trip, slower than a part every 0.25 s once
// the server is far: the parts wait while this many packets are still on their way,
// so an upload never fills the queue, whose cap is for a server that stopped answering.
constexpr int kQueueHoldMark = 8;

vfs_file* upload_file = nullptr;
int upload_allowed = 0;
char final_text[1024] = {};
double next_part_time = 0;

void queue_text(const char* text)
{
    net_queue_reliable(net_record_text, text, int(strlen(text)));
}

void close_file()
{
    if (upload_file)
        vfs_close(upload_file);
    upload_file = nullptr;
}

}  // namespace

int net_upload_start(const char* name)
{
    if (upload_file) {
        console_print("Stopping previous transfer");
        close_file();
    }
    vfs_file* f = vfs_open(("@outgoing/" + std::string(name)).c_str(), "rb");
    if (!f) {
        final_text[0] = '\0';
        console_print("Can't open file");
        return 0;
    }
    upload_file = f;
    snprintf(final_text, sizeof final_text, "namefile %s", name);
    if (net_socket == -1)
        console_print("Not connected to server");
    else
        queue_text("sendfile");
    console_print("Sending file");
    return 1;
}

void net_upload_pump()
{
    const double now = run_clock;
    if (!upload_allowed || !upload_file || now < next_part_time || net_outgoing_count > kQueueHoldMark)
        return;
    next_part_time = now + kPartInterval;
    uint8_t part[sizeof kPartPrefix - 1 + kPartBytes];
    memcpy(part, kPartPrefix, sizeof kPartPrefix - 1);
    const int n = vfs_read(upload_file, part + sizeof kPartPrefix - 1, kPartBytes);
    if (n > 0)
        net_queue_reliable(net_record_text, part, int(sizeof kPartPrefix - 1) + n);
    if (n < kPartBytes) {
        close_file();
        queue_text(final_text);
    }
}

void net_upload_allow()
{
    upload_allowed = 1;
}

void net_upload_deny()
{
    console_print("Send file denied");
    upload_allowed = 0;
    close_file();
    final_text[0] = '\0';
}

void net_upload_restore()
{
    close_file();
    upload_allowed = 0;
    final_text[0] = '\0';
    next_part_time = 0;
}
