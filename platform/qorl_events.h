// Discrete input as timestamped events: the 256-entry ring every window keeps, the
// event code space, and the names of codes as shown in the controls screens and stored
// in setup files.
#pragma once
#include <cstdint>

struct qorl_window;

// Event codes, one 32-bit space (bit 31 inside the ring marks a release):
//   0..255            a character typed, always pressed
//   0x1000 | scan     a key by set-1 scan code 0..0x1FF (0x100 in scan = extended key)
//   0x2000..0x2002    pointer button left, middle, right
//   0xDEAD            the window's close box, pressed
//   id | button       button 0..255 of an input device; device ids use bits 16..30 only
constexpr uint32_t QORL_KEY_BASE = 0x1000;
constexpr uint32_t QORL_SCAN_LIMIT = 0x200;
constexpr uint32_t QORL_MOUSE_LEFT = 0x2000;
constexpr uint32_t QORL_MOUSE_MIDDLE = 0x2001;
constexpr uint32_t QORL_MOUSE_RIGHT = 0x2002;
constexpr uint32_t QORL_CLOSE = 0xDEAD;
constexpr uint32_t QORL_RELEASED = 0x80000000u;
constexpr int QORL_RING_SIZE = 256;

// Oldest event at head; stamps are on qorl_time's clock.
struct qorl_event_ring {
    uint32_t head;
    uint32_t count;
    uint32_t code[QORL_RING_SIZE];
    int32_t seconds[QORL_RING_SIZE];
    int32_t microseconds[QORL_RING_SIZE];
};

// The caller of these four holds the ring's mutex (qorl_input_push does that for you).
// A push into a full ring is dropped; pop_until looks at the oldest event only.
void qorl_event_push(qorl_event_ring* ring, uint32_t code, int pressed, int32_t seconds,
                     int32_t microseconds);
void qorl_event_push_now(qorl_event_ring* ring, uint32_t code, int pressed);
int qorl_event_pop(qorl_event_ring* ring, uint32_t* code, int* pressed, int32_t* seconds,
                   int32_t* microseconds);
int qorl_event_pop_until(qorl_event_ring* ring, uint32_t* code, int* pressed, int32_t seconds,
                         int32_t microseconds);

// Pump (unthreaded) or yield (threaded), pop; when empty, poll the devices and pop again.
int qorl_next_event(qorl_window* window, uint32_t* code, int* pressed);
int qorl_next_event_until(qorl_window* window, uint32_t* code, int* pressed, int32_t seconds,
                          int32_t microseconds);

// Pumps (unthreaded) or yields, then says whether the window's close request waits in
// the ring; takes nothing out of it. For a caller that waits long between events.
int qorl_close_waiting(qorl_window* window);

// Names: interned, never freed. key_code leaves *code alone when the name is unknown.
const char* qorl_key_name(qorl_window* window, uint32_t code);
int qorl_key_code(qorl_window* window, uint32_t* code, const char* name);
const char* qorl_intern(const char* text);
// Case-insensitive; white space and '_' compare as a space.
int qorl_name_compare(const char* a, const char* b);

// Keyboard scan codes from the X server: X keycode = evdev key code + 8. Keys with no
// set-1 scan code give -1.
int qorl_scan_from_evdev(int evdev_code);
int qorl_scan_from_x_keycode(unsigned keycode);
