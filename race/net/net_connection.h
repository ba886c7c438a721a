// The connection to the game server as the reliable channel needs it. The network
// client owns these and fills them as the connection moves on.
#pragma once
#include "race/net/net_transport.h"

#include <cstdint>

constexpr int32_t net_no_slot = 160;

extern int net_socket;                   // -1 = not connected
extern net_address net_server_address;
extern int32_t net_own_slot;             // the rider slot the server gave; 160 = none
extern uint32_t net_connection_id;       // from the server's hello reply
