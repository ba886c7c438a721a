// Typing into a window under the test's Xvfb: a connection of the test's own and
// synthetic input through the server's XTEST extension.
#pragma once
#include <X11/Xlib.h>

namespace bvtest {

// The test's own connection (thread support first, as the library requires).
Display* open_test_display();

// Asks a window to close as a window manager's close button does (WM_DELETE_WINDOW).
void close_window(Display* display, Window window);

// Key and button presses as if typed: they go through the server's keyboard state and
// focus, and carry real server times. available() is false without libXtst.
class FakeInput {
public:
    FakeInput();
    bool available() const { return key_ && button_ && motion_; }
    void key(Display* display, KeySym keysym, bool press);
    void button(Display* display, unsigned button, bool press);
    void move(Display* display, int x, int y);

private:
    int (*key_)(Display*, unsigned, int, unsigned long) = nullptr;
    int (*button_)(Display*, unsigned, int, unsigned long) = nullptr;
    int (*motion_)(Display*, int, int, int, unsigned long) = nullptr;
};

}  // namespace bvtest
