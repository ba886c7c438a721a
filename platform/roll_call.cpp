// The roll calls at window open, in their fixed order: sticks, pads, cursor.
#include "platform/qorl_input.h"

void qorl_input_roll_call(qorl_input* input)
{
    qorl_dinput_roll_call(input);
    qorl_xinput_roll_call(input);
    qorl_cursor_roll_call(input);
    qorl_alias("cursor-left", "Mouse Left");
    qorl_alias("cursor-middle", "Mouse Middle");
    qorl_alias("cursor-right", "Mouse Right");
}
