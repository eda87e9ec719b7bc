// SPDX-License-Identifier: MIT
#include "window_closer.h"

#include <X11/Xlib.h>

#include <thread>

using namespace std::chrono_literals;

bool close_window_titled(const std::string& title, std::chrono::milliseconds limit) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom delete_window = XInternAtom(display, "WM_DELETE_WINDOW", False);
    bool closed = false;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!closed && std::chrono::steady_clock::now() < end) {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
            for (unsigned i = 0; i < count && !closed; ++i) {
                char* name = nullptr;
                XWindowAttributes attributes;
                if (!XFetchName(display, children[i], &name) || !name) continue;
                if (std::string(name).rfind(title, 0) == 0 &&
                    XGetWindowAttributes(display, children[i], &attributes) &&
                    attributes.map_state == IsViewable) {
                    XEvent event{};
                    event.xclient.type = ClientMessage;
                    event.xclient.window = children[i];
                    event.xclient.message_type = protocols;
                    event.xclient.format = 32;
                    event.xclient.data.l[0] = long(delete_window);
                    event.xclient.data.l[1] = CurrentTime;
                    XSendEvent(display, children[i], False, NoEventMask, &event);
                    XFlush(display);
                    closed = true;
                }
                XFree(name);
            }
            if (children) XFree(children);
        }
        if (!closed) std::this_thread::sleep_for(100ms);
    }
    XCloseDisplay(display);
    return closed;
}

