// bv_test_server: the loopback game server as a program, to race the game against
// without a real server. Without --hash it loads the track from the installed data as
// the game does, for its hash. Prints "listening on 127.0.0.1:PORT", then one line per
// connection event, and runs at 128 ticks per second until SIGINT or SIGTERM.
#include "installed_hash.h"
#include "test_server.h"

#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

volatile sig_atomic_t stop = 0;

void on_signal(int)
{
    stop = 1;
}

double monotonic_seconds()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

bool parse_hash(const char* text, test_server::TrackHash& hash)
{
    if (strlen(text) != 40)
        return false;
    for (int i = 0; i < 20; ++i) {
        char pair[3] = {text[2 * i], text[2 * i + 1], 0};
        char* end = nullptr;
        long v = strtol(pair, &end, 16);
        if (*end || !isxdigit(static_cast<unsigned char>(pair[0])))
            return false;
        hash[size_t(i)] = uint8_t(v);
    }
    return true;
}

bool parse_number(const char* text, long low, long high, long& out)
{
    char* end = nullptr;
    long v = strtol(text, &end, 10);
    if (!*text || *end || v < low || v > high)
        return false;
    out = v;
    return true;
}

int usage()
{
    fprintf(stderr, "usage: bv_test_server [--port N] [--track FOLDER] [--hash 40-HEX] [--riders N] [--laps L]"
                    " [--minutes M] [--gate-drop-seconds S] [--password P]\n");
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    test_server::Options options;
    options.track = "tracks/flat";
    bool hash_given = false;
    long port = 0;
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        if (i + 1 >= argc)
            return usage();
        const char* value = argv[++i];
        long n = 0;
        if (name == "--port" && parse_number(value, 0, 65535, n))
            port = n;
        else if (name == "--track")
            options.track = value;
        else if (name == "--hash" && parse_hash(value, options.hash))
            hash_given = true;
        else if (name == "--riders" && parse_number(value, 0, 159, n))
            options.riders = int(n);
        else if (name == "--laps" && parse_number(value, 0, 1000, n))
            options.laps = int32_t(n);
        else if (name == "--minutes" && parse_number(value, 0, 24 * 60, n))
            options.time_limit_ticks = int32_t(n * 60 * 128);
        else if (name == "--gate-drop-seconds" && parse_number(value, 0, 3600, n))
            options.gate_drop_tick = int32_t(n * 128);
        else if (name == "--password")
            options.password = value;
        else
            return usage();
    }

    // Without a hash, the one a client with the same installed data computes.
    std::string why;
    if (!hash_given && !test_server::installed_track_hash(options.track, &options.hash, &why)) {
        fprintf(stderr, "bv_test_server: %s\n", why.c_str());
        return 1;
    }

    test_server::Server server(options);
    if (!server.open(uint16_t(port))) {
        fprintf(stderr, "bv_test_server: can't open port %ld: %s\n", port, server.error().c_str());
        return 1;
    }
    signal(SIGINT, on_signal);
    signal(SIGTERM, on_signal);
    printf("listening on %s\n", server.address().c_str());
    fflush(stdout);

    const double tick = 1.0 / 128.0;
    const double start = monotonic_seconds();
    double next = start;
    while (!stop) {
        server.step(monotonic_seconds() - start);
        for (const std::string& event : server.take_events())
            printf("%s\n", event.c_str());
        fflush(stdout);
        next += tick;
        double wait = next - monotonic_seconds();
        if (wait > 0) {
            timespec t{time_t(wait), long((wait - double(time_t(wait))) * 1e9)};
            nanosleep(&t, nullptr);
        } else if (wait < -1.0) {
            next = monotonic_seconds();  // fell far behind (suspended): don't race to catch up
        }
    }
    return 0;
}
