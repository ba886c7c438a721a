// A loopback game server for tests and for racing the game without a real server. It
// speaks the server's side of the exchange as far as the client needs it: hello, client
// info and track info, rider infos and the race start, tick syncs and relayed rider
// states, the reliable channel both ways, new races and leaving. It is driven by its
// caller: one step() per server tick with the caller's clock, no threads.
#pragma once
#include "server_wire.h"
#include "udp_endpoint.h"

#include <deque>
#include <map>
#include <string>
#include <vector>

namespace test_server {

struct Options {
    std::string track = "flat";
    TrackHash hash{};
    int riders = 0;                 // fake riders, in slots 0..riders-1
    int32_t laps = 3;
    int32_t time_limit_ticks = 0;
    int32_t gate_drop_tick = 5 * 128;
    std::string password;           // empty: no check
    uint32_t first_race_id = 1;
    uint32_t first_connection_id = 0x01020304;
    int sync_interval = 8;          // ticks between tick syncs
    int relay_interval = 4;         // ticks between relayed rider states
    PackedState fake_state{};       // what the fake riders send

    // How a hello is answered.
    enum class Hello { reply, other_version, full, redirect, silent } hello = Hello::reply;
    std::string redirect_to;        // "127.0.0.1:PORT" of a second server
    int32_t lineup = -1;            // the race start's lineup value; -1 = the start place
    // The server's own reliable packets.
    bool echo_deformations = false; // a client's 27 goes back to every racing connection
    bool out_of_order = false;      // newest unacknowledged first
    bool duplicates = false;        // every send twice
    int64_t hold_back = -1;         // this sequence is not sent until release_held()
    // A connection not heard from this long (seconds) is forgotten and its slot freed:
    // a client sends at least once a second in every state.
    double silence_seconds = 20;
};

// Bounds on what strangers and clients can make the server keep. Datagrams and records
// are kept for the caller to look at, newest last, up to these counts (a datagram is at
// most 2048 bytes, a record 480): at most about 9 MiB in all however much arrives.
inline constexpr size_t kKeptDatagrams = 4096;
inline constexpr size_t kKeptRecords = 1024;
inline constexpr size_t kKeptEvents = 1024;
// Early reliable packets are held only this far ahead of the expected sequence, and a
// connection's own unacknowledged packets only up to this count (past it the client is
// not acknowledging and is forgotten).
inline constexpr uint32_t kHoldWindow = 64;
inline constexpr size_t kOutgoingCap = 1024;

struct Received {
    Bytes bytes;
    double time;
    Peer from;
};

struct Record {  // a client's reliable record, handed on once and in order
    int32_t slot;
    uint8_t type;
    Bytes payload;
};

struct Connection {
    enum class Phase { joined, track_sent, starting, racing, new_race } phase = Phase::joined;
    Peer address;
    int32_t slot = 160;
    uint32_t id = 0;
    uint32_t race_id = 0;
    int32_t highest_reported = 160;
    uint32_t last_client_tick = 0;    // [17] of its newest rider state
    std::string rider_info;
    bool has_state = false;
    uint32_t state_tick = 0;
    PackedState state{};
    // Incoming reliable sequence and the early packets held.
    uint32_t expected = 0;
    std::map<uint32_t, ClientReliable> held;
    // Outgoing reliable packets not yet acknowledged.
    struct Outgoing {
        uint32_t sequence;
        Bytes packet;
        double next_send;
    };
    std::vector<Outgoing> outgoing;
    uint32_t next_sequence = 0;
    int acks_sent = 0;
    double last_heard = 0;            // the server's clock at its last datagram
};

class Server {
public:
    explicit Server(Options options = {});

    bool open(uint16_t port = 0);
    uint16_t port() const { return socket_.port(); }
    std::string address() const { return "127.0.0.1:" + std::to_string(port()); }
    const std::string& error() const { return socket_.error(); }
    Options& options() { return options_; }

    // Takes every waiting datagram, then runs one server tick at time now (seconds).
    void step(double now);

    uint32_t race_id() const { return race_id_; }
    uint32_t server_tick() const { return tick_; }
    const std::vector<Connection>& connections() const { return connections_; }
    const Connection* connection(int32_t slot) const;
    // The newest kKeptDatagrams datagrams and kKeptRecords records.
    const std::deque<Received>& received() const { return received_; }
    const std::deque<Record>& records() const { return records_; }
    // Records handed on since the start, the ones no longer kept included.
    uint64_t records_total() const { return records_total_; }
    // Bytes of datagrams, records and packets the server holds (the bounds above).
    size_t bytes_held() const;
    int restart_requests() const { return restart_requests_; }
    // "slot N joined", "slot N racing", "slot N left", oldest first; taking empties the list.
    std::vector<std::string> take_events();

    // A reliable record to one connection's slot, or to every connection with slot -1.
    void send_reliable(int32_t slot, uint8_t record, const Bytes& payload);
    void release_held();
    // The next race: 14 with the race id + 1 to every racing connection.
    void new_race();
    void kick(const std::string& text);
    void disconnect();
    // Any bytes to every connection, or to the last sender when there is none.
    void send_raw(const Bytes& bytes);

private:
    void take(const Bytes& p, const Peer& from);
    void on_hello(const Bytes& p, const Peer& from);
    void on_client_info(Connection& c, const Bytes& p);
    void on_race_ack(Connection& c, const ClientRaceAck& a);
    void on_reliable(Connection& c, const ClientReliable& r);
    void deliver(Connection& c, const ClientReliable& r);
    void send_riders_and_start(Connection& c);
    void send_ticks(Connection& c);
    void resend(Connection& c);
    void queue(Connection& c, uint8_t record, const Bytes& payload);
    void forget(const Peer& address);
    Connection* find(const Peer& address);
    int32_t free_slot() const;
    void send(const Peer& to, const Bytes& bytes);

    Options options_;
    UdpEndpoint socket_;
    std::vector<Connection> connections_;
    void forget_silent();
    void note(std::string event);

    std::deque<Received> received_;
    std::deque<Record> records_;
    std::vector<std::string> events_;
    uint32_t race_id_;
    uint32_t tick_ = 0;
    uint32_t connections_made_ = 0;
    int restart_requests_ = 0;
    uint64_t records_total_ = 0;
    double now_ = 0;
    Peer last_sender_;
};

}  // namespace test_server
