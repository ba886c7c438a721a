// The public input calls that take a window: each works on the input state the
// window record embeds.
#include "platform/qorl_input.h"

int qorl_next_event(qorl_window* window, uint32_t* code, int* pressed)
{
    qorl_input* input = window ? qorl_window_input(window) : nullptr;
    return input ? qorl_input_next_event(input, code, pressed) : 0;
}

int qorl_next_event_until(qorl_window* window, uint32_t* code, int* pressed, int32_t seconds,
                          int32_t microseconds)
{
    qorl_input* input = window ? qorl_window_input(window) : nullptr;
    return input ? qorl_input_next_event_until(input, code, pressed, seconds, microseconds) : 0;
}

int qorl_close_waiting(qorl_window* window)
{
    qorl_input* input = window ? qorl_window_input(window) : nullptr;
    return input ? qorl_input_close_waiting(input) : 0;
}

const char* qorl_key_name(qorl_window* window, uint32_t code)
{
    return qorl_input_key_name(window ? qorl_window_input(window) : nullptr, code);
}

int qorl_key_code(qorl_window* window, uint32_t* code, const char* name)
{
    return qorl_input_key_code(window ? qorl_window_input(window) : nullptr, code, name);
}

qorl_axis* qorl_axis_open(qorl_window* window, const char* name)
{
    return window ? qorl_input_axis_open(qorl_window_input(window), name) : nullptr;
}

const char* const* qorl_axis_names(qorl_window* window)
{
    static const char* const empty[1] = {nullptr};
    qorl_input* input = window ? qorl_window_input(window) : nullptr;
    return input && input->axis_names ? input->axis_names : empty;
}
