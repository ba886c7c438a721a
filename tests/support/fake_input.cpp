#include "support/fake_input.h"

#include <dlfcn.h>

namespace bvtest {

Display* open_test_display()
{
    XInitThreads();
    return XOpenDisplay(nullptr);
}

void close_window(Display* display, Window window)
{
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &e);
    XSync(display, False);
}

FakeInput::FakeInput()
{
    void* library = dlopen("libXtst.so.6", RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return;
    key_ = reinterpret_cast<decltype(key_)>(dlsym(library, "XTestFakeKeyEvent"));
    button_ = reinterpret_cast<decltype(button_)>(dlsym(library, "XTestFakeButtonEvent"));
    motion_ = reinterpret_cast<decltype(motion_)>(dlsym(library, "XTestFakeMotionEvent"));
}

void FakeInput::key(Display* display, KeySym keysym, bool press)
{
    key_(display, XKeysymToKeycode(display, keysym), press, CurrentTime);
    XSync(display, False);
}

void FakeInput::button(Display* display, unsigned button, bool press)
{
    button_(display, button, press, CurrentTime);
    XSync(display, False);
}

void FakeInput::move(Display* display, int x, int y)
{
    motion_(display, DefaultScreen(display), x, y, CurrentTime);
    XSync(display, False);
}

}  // namespace bvtest
