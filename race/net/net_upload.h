// Sending a file of "@outgoing/" to the server: "sendfile" asks, the server answers
// "sendready" or "senddenied", then the file goes in parts of 256 bytes, one every
// 0.25 s at most ("sendpart -" and the bytes), and ends with "namefile <name>".
#pragma once

// "sendfile": stops an upload under way ("Stopping previous transfer"), opens
// "@outgoing/" + name and asks the server when connected ("Not connected to server"
// when not), then "Sending file". 0 after "Can't open file" when the file does not open.
int net_upload_start(const char* name);
// One part when allowed, a file is open, its time has come and the reliable queue is
// nearly empty (network step).
void net_upload_pump();
// The server's answers.
void net_upload_allow();
void net_upload_deny();
// As at program start: no file, not allowed, no final text.
void net_upload_restore();
