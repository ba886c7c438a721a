// The handler of one delivered reliable packet: the record type at byte 5, the payload
// from byte 6 to the packet's end, a zero byte after it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

void net_handle_message(uint8_t* packet, int length);

// Until the server's messages are acted on, each delivery is kept here in order: the
// packet's bytes followed by the byte after its end.
std::vector<std::string>& net_delivered_messages();
