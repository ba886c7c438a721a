// A stand-in for the server-message handler: it keeps what the reliable channel
// delivers, so that the order and contents of deliveries can be checked.
#include "race/net_messages.h"

std::vector<std::string>& net_delivered_messages()
{
    static std::vector<std::string> delivered;
    return delivered;
}

void net_handle_message(uint8_t* packet, int length)
{
    net_delivered_messages().emplace_back(reinterpret_cast<const char*>(packet), size_t(length) + 1);
}
