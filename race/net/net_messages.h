// What the server says over the reliable channel: chat, "are you still there", timing,
// text commands, terrain deformations and script messages; and the deformation send.
#pragma once
#include <cstdint>

// One delivered reliable packet: the record type at byte 5, the payload from byte 6 to
// the packet's end, a zero byte after it.
void net_handle_message(uint8_t* packet, int length);

// One server text command ("no_arcade", "off_course_bias", "off_course_scale",
// "knockout", "erode", "sendready", "senddenied", "redirect"); others are ignored.
void net_text_command(const char* text);

// A finished terrain deformation: applied at once offline; online sent to the server
// as {race id, record}, and applied when the server echoes it. Never prints.
void net_queue_data(const uint8_t* record, int32_t length);

// 1 when text, after leading white space, begins with word followed by white space or
// its end.
int word_match(const char* text, const char* word);
