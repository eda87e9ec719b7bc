// SPDX-License-Identifier: MIT
#pragma once

// Another process's windows, as a window manager meets them. Apart from the
// tests: Xlib's macros (None, Status, ...) clash with GoogleTest's names.

#include <chrono>
#include <string>

// Closes the top-level window whose title starts with title the way a window
// manager does (WM_DELETE_WINDOW), once it is mapped; false if none came.
bool close_window_titled(const std::string& title, std::chrono::milliseconds limit);
