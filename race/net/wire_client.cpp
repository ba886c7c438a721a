#include "race/net/wire_client.h"

#include "foundation/numbers/ripemd160.h"
#include "race/net/wire_bytes.h"

#include <cstring>

namespace {

// [0] type; [1] i32 slot; [5] u32 id: the head of every packet after the hello.
int put_head(uint8_t* out, uint8_t type, int32_t slot, uint32_t id)
{
    out[0] = type;
    wire_put_i32(out + 1, slot);
    wire_put_u32(out + 5, id);
    return 9;
}

}  // namespace

uint32_t net_password_word(const char* password, uint32_t connection_id)
{
    if (!password)
        return 0;
    uint8_t id_bytes[4];
    wire_put_u32(id_bytes, connection_id);
    ripemd160_ctx ctx;
    ripemd160_init(&ctx);
    ripemd160_update(&ctx, password, strlen(password));
    ripemd160_update(&ctx, id_bytes, sizeof id_bytes);
    ripemd160_final(&ctx);
    const uint8_t* d = ctx.digest;
    return uint32_t(d[0]) << 24 | uint32_t(d[1]) << 16 | uint32_t(d[2]) << 8 | d[3];
}

int net_build_hello(uint8_t* out, bool has_password, uint32_t nonce)
{
    memset(out, 0, 21);
    out[0] = net_out_hello;
    out[1] = has_password ? 1 : 0;
    wire_put_u32(out + 9, net_protocol_number);
    wire_put_u32(out + 13, nonce);
    return 21;
}

int net_build_client_info(uint8_t* out, int32_t slot, uint32_t id, uint32_t password_word, uint32_t nonce,
                          const char* text, int text_length)
{
    memset(out, 0, net_client_info_fixed);
    put_head(out, net_out_client_info, slot, id);
    wire_put_u32(out + 9, password_word);
    wire_put_u32(out + 17, nonce);
    if (text_length < 0)
        text_length = 0;
    if (text_length > net_client_info_text_room - 1)
        text_length = net_client_info_text_room - 1;
    if (text_length > 0)
        memcpy(out + net_client_info_fixed, text, size_t(text_length));
    return net_client_info_fixed + text_length;
}

int net_build_race_packet(uint8_t* out, uint8_t type, int32_t slot, uint32_t id, uint32_t race_id)
{
    put_head(out, type, slot, id);
    wire_put_u32(out + 9, race_id);
    return 13;
}

int net_build_bike_ack(uint8_t* out, int32_t slot, uint32_t id, uint32_t race_id, int32_t highest_slot)
{
    net_build_race_packet(out, net_out_bike_ack, slot, id, race_id);
    wire_put_i32(out + 13, highest_slot);
    return 17;
}

int net_build_rider_state(uint8_t* out, int32_t slot, uint32_t id, uint32_t race_id, uint32_t newest_server_tick,
                          uint32_t current_tick, const uint8_t packed_state[net_packed_state_size])
{
    net_build_race_packet(out, net_out_rider_state, slot, id, race_id);
    wire_put_u32(out + 13, newest_server_tick);
    wire_put_u32(out + 17, current_tick);
    memcpy(out + 21, packed_state, net_packed_state_size);
    return 60;
}

int net_build_restart_request(uint8_t* out, int32_t slot, uint32_t id)
{
    put_head(out, net_out_restart, slot, id);
    wire_put_i32(out + 9, 1);
    return 13;
}

int net_build_disconnect(uint8_t* out, int32_t slot, uint32_t id)
{
    return put_head(out, net_out_disconnect, slot, id);
}

int net_build_ack(uint8_t* out, int32_t slot, uint32_t id, uint32_t sequence)
{
    put_head(out, net_out_ack, slot, id);
    wire_put_u32(out + 9, sequence);
    return 13;
}
