// The receive step: every waiting datagram from the server is dispatched, straight from
// the socket, or (with fake lag or loss for testing) through a queue that holds each
// one back for the lag and drops a share of them.
#include "foundation/front_door.h"
#include "race/net/net_client.h"
#include "race/program/run_clock.h"
#include "race/net/wire_server.h"
#include "platform/qorl_log.h"

#include <cstring>

namespace {

constexpr int kLagEntries = 1024;
// Datagrams read in one step at most: a flood faster than the client reads must not
// hold the tick in the receive loop. 2048 a tick is over 250,000 a second.
constexpr int kDatagramsPerStep = 2048;
constexpr int kLagBytes = 1024;

struct lag_entry {
    double time;
    uint8_t data[kLagBytes];
    int32_t length;
    net_address from;
};

lag_entry lag_queue[kLagEntries];
int lag_head = 0;   // the oldest entry
int lag_count = 0;
uint32_t loss_state = 1;
int strangers_logged = 0;
double strangers_log_time = 0;

// 0..32767, the range the loss threshold is made for.
int loss_random()
{
    loss_state = loss_state * 1103515245u + 12345u;
    return int(loss_state >> 16) & 0x7fff;
}

void print_receive_error()
{
    if (net_last_error)
        console_print(net_last_error);
}

// Anyone can send a datagram too long for the buffer: it is dropped alone, unprinted,
// and the step reads on.
bool dropped_too_long()
{
    if (net_last_error != net_too_long)
        return false;
    ++net_stranger_datagrams;
    return true;
}

void receive_direct()
{
    uint8_t buffer[net_receive_buffer];
    for (int k = 0; k < kDatagramsPerStep; ++k) {
        net_address from{};
        const int n = net_receive(net_socket, buffer, net_max_datagram, &from);
        if (n < 0) {
            if (dropped_too_long())
                continue;
            print_receive_error();
            return;
        }
        buffer[n] = 0;
        net_dispatch(buffer, n, from);
        if (net_socket == -1)
            return;
    }
}

void receive_lagged()
{
    for (int k = 0; k < kDatagramsPerStep; ++k) {
        bool failed = false;
        for (int r = 0; lag_count < kLagEntries && r < kDatagramsPerStep; ++r) {
            lag_entry& e = lag_queue[(lag_head + lag_count) % kLagEntries];
            const int n = net_receive(net_socket, e.data, kLagBytes, &e.from);
            if (n < 0 && dropped_too_long())
                continue;
            if (n < 0) {
                failed = true;
                break;
            }
            if (loss_random() < 327 * net_fake_loss)
                continue;  // lost: the entry is used again
            e.time = run_clock;
            e.length = n;
            ++lag_count;
        }
        if (lag_count == 0) {
            if (failed)
                print_receive_error();
            return;
        }
        const lag_entry& oldest = lag_queue[lag_head];
        if (!(oldest.time + net_fake_lag < run_clock))
            return;
        uint8_t buffer[net_receive_buffer];
        const int length = oldest.length < net_max_datagram ? oldest.length : net_max_datagram;
        memcpy(buffer, oldest.data, size_t(length));
        buffer[length] = 0;
        const net_address from = oldest.from;
        lag_head = (lag_head + 1) % kLagEntries;
        --lag_count;
        net_dispatch(buffer, length, from);
        if (net_socket == -1)
            return;
    }
}

}  // namespace

void net_fake_loss_seed(uint32_t seed)
{
    loss_state = seed;
}

void net_lag_queue_clear()
{
    lag_head = 0;
    lag_count = 0;
}

void net_receive_step()
{
    if (net_fake_lag == 0 && net_fake_loss == 0)
        receive_direct();
    else
        receive_lagged();
    if (net_stranger_datagrams < strangers_logged)
        strangers_logged = 0;   // the counter was reset
    if (net_stranger_datagrams > strangers_logged && !(run_clock < strangers_log_time)) {
        qorl_log("Dropped %d datagrams from other senders or too long\n", net_stranger_datagrams - strangers_logged);
        strangers_logged = net_stranger_datagrams;
        strangers_log_time = run_clock + 1;
    }
}
