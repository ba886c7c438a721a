// The rider-info text that introduces a rider to the server and the other clients:
//
//   bike|rider texture|bike texture|wheel texture|head texture\nnumber\nname
//
// A texture with no name is an empty field. When that does not fit the room, the
// short form "bike\nnumber\nname" is used, cut to the room if even that is too long.
#pragma once
#include "race/net/net_client.h"
#include "race/net/player_setup.h"

// Room counts the terminator, which is never sent.
inline constexpr int kRiderInfoRoomClientInfo = 982;
inline constexpr int kRiderInfoRoomRecord = 465;

// Writes the text of the player's setup into out (room bytes) and returns its length.
int net_rider_info_build(char* out, int room, const player_identity& who);
// Parses a received text into a slot's record: fields missing from the first line keep
// their old values; the number and name end at the first line end. A texture name that
// could reach outside the data folders (absolute, "..", a backslash, a control
// character) is taken as none.
void net_rider_info_parse(const char* text, net_rider_record* into);
