#include "race/net/net_connection.h"

int net_socket = -1;
net_address net_server_address = {};
int32_t net_own_slot = net_no_slot;
uint32_t net_connection_id = 0;
