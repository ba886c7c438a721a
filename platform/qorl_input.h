// Input devices and their named axes and buttons, aliases, and the per-window input
// state (event ring, ring mutex, device list, axis names) that the window record embeds.
//
// What the window does with it:
//   open:     qorl_input_init(&in, window); set pump (unthreaded only) and pointer;
//             after the window exists, qorl_input_roll_call(&in).
//   messages: qorl_input_push(&in, code, pressed, s, us) for keys, characters, pointer
//             buttons and the close box (it takes the ring mutex itself).
//   teardown: qorl_input_shutdown(&in).
//   and define qorl_window_input(window) to hand out its embedded state.
#pragma once
#include <cstdint>
#include <pthread.h>

#include "platform/qorl_events.h"

struct qorl_window;
struct qorl_device;
struct qorl_input;

struct qorl_input {
    qorl_window* window;
    pthread_mutex_t ring_mutex;
    qorl_event_ring ring;
    qorl_device* devices;     // newest roll-call entry first
    const char** axis_names;  // null-terminated, interned texts
    // Handles every waiting window message; null for a threaded window (then we yield).
    void (*pump)(qorl_window* window);
    // Pointer position in client pixels; null reads as (0, 0).
    int (*pointer)(qorl_window* window, int32_t* x, int32_t* y);
};

// Provided by the window: the input state embedded in its record.
qorl_input* qorl_window_input(qorl_window* window);

// 1, or 0 when the ring mutex cannot be made. Everything else starts empty.
int qorl_input_init(qorl_input* input, qorl_window* window);
// The roll calls in order (sticks, pads, cursor), the axis-name list, and the aliases
// "cursor-left", "cursor-middle", "cursor-right".
void qorl_input_roll_call(qorl_input* input);
// Frees the axis names, closes and destroys every device, destroys the ring mutex.
void qorl_input_shutdown(qorl_input* input);

void qorl_input_push(qorl_input* input, uint32_t code, int pressed, int32_t seconds,
                     int32_t microseconds);
void qorl_input_push_now(qorl_input* input, uint32_t code, int pressed);
int qorl_input_next_event(qorl_input* input, uint32_t* code, int* pressed);
int qorl_input_next_event_until(qorl_input* input, uint32_t* code, int* pressed,
                                int32_t seconds, int32_t microseconds);
int qorl_input_close_waiting(qorl_input* input);
const char* qorl_input_key_name(qorl_input* input, uint32_t code);
int qorl_input_key_code(qorl_input* input, uint32_t* code, const char* name);

// One input device. Kinds extend it with their own data; destroy frees the record.
// Every field starts zeroed, so a kind's constructor need not repeat that.
struct qorl_device {
    qorl_device* next = nullptr;
    qorl_input* input = nullptr;  // the owner: its ring receives the button events
    const char* name = nullptr;   // unique, no spaces
    uint32_t id = 0;              // bits 16..30 only
    int32_t refcount = 0;         // open axis handles
    int32_t button_events = 0;    // non-zero once a button was looked up: polled every next-event
    int32_t button_count = 0;
    int32_t axis_count = 0;
    int (*enable_buttons)(qorl_device* device) = nullptr;
    int (*open)(qorl_device* device) = nullptr;  // first axis handle; 0 refuses
    void (*close)(qorl_device* device) = nullptr;
    int (*read_axis)(qorl_device* device, int index) = nullptr;
    void (*poll)(qorl_device* device) = nullptr;
    void (*destroy)(qorl_device* device) = nullptr;
};

struct qorl_axis {
    qorl_device* device;
    int32_t index;
};

// (((o << 8) + e) & 0x7FFF) << 16 over the signed characters at odd (o) and even (e)
// positions, moved on by 0x10000 while 0 or taken by a listed device; ids stay in
// bits 16..30 (after 0x7FFF0000 comes 0x10000).
uint32_t qorl_device_id(const qorl_device* list, const char* name);
qorl_device* qorl_find_device(const qorl_device* list, const char* name);
// Links the device at the head of the list and takes ownership of it.
void qorl_device_add(qorl_input* input, qorl_device* device);
void qorl_poll_devices(qorl_input* input);
void qorl_devices_close(qorl_input* input);
// "%63[^.].key[%d]" or "%63s button %d": 1 and the event code, enabling the device's
// button events; 0 when no device has that button.
int qorl_device_button_code(qorl_input* input, const char* name, uint32_t* code);
// Appends an interned name to the input's axis-name list.
void qorl_add_axis_name(qorl_input* input, const char* name);

// Axis handles: "%63[^.].axis[%d]" or "%63s axis %d" after alias resolution. Values are
// 15-bit fixed point (-32768..32767 sticks, 0..32767 triggers); the cursor gives pixels.
qorl_axis* qorl_axis_open(qorl_window* window, const char* name);
qorl_axis* qorl_input_axis_open(qorl_input* input, const char* name);
int qorl_axis_read(qorl_axis* axis);
void qorl_axis_close(qorl_axis* axis);
const char* const* qorl_axis_names(qorl_window* window);

// Aliases are process-wide; the first one registered for a name stays.
int qorl_alias(const char* alias, const char* target);
const char* qorl_resolve_alias(const char* name);
void qorl_aliases_clear();

// The roll calls; each returns 1 when it ran. Options: "dinput", "dinputsticksonly",
// "xinput" (pads served as "XInputGamepad%d" are skipped by the stick roll call).
int qorl_dinput_roll_call(qorl_input* input);
int qorl_xinput_roll_call(qorl_input* input);
int qorl_cursor_roll_call(qorl_input* input);
