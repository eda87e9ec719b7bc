// SPDX-License-Identifier: MIT
#pragma once

// Guards of a window's life: what a window may be built on, how it may move,
// how it goes while a modal dialog runs on top of it. Private: not installed.
// The look of the windows lives in look.h.

#include <functional>

class wxWindow;
class wxWindowBase;

// Hidden from the shared library's symbol table: the module's interface is
// its eight window classes and nothing else.
#pragma GCC visibility push(hidden)
namespace tov_atsui::detail {

// Throws std::invalid_argument naming the class when parent is null, is being
// destroyed (its deletion would take the new window with it at the next idle
// time) or has no client area to hold children (a button, a menu bar: the
// toolkit asserts and the first child crashes). Used in a panel's base
// initialiser, so nothing is created for a refused parent.
wxWindow* require_parent(wxWindow* parent, const char* class_name);

// A panel's style as given, less border bits that name no single border
// (all bits set, say): wxMSW asserts on such a border, wxGTK picks one of
// them; either way the panel has the default border.
long panel_style(long style);

// For top-level windows, whose parent may be null: throws std::logic_error
// when no GUI application is running (the toolkit would crash in its first
// call) and std::invalid_argument for a parent that is being destroyed.
wxWindow* top_level_parent(wxWindow* parent, const char* class_name);

// Destroy() of a top-level window that may have modal dialogs running on top
// of it, one inside the other: the toolkit would delete a dialog inside its
// own ShowModal (a dialog on the host's stack is then freed as if from the
// heap). Ends such dialogs with wxID_CANCEL, innermost first, and calls
// destroy once the loop outside them all runs again; with none running,
// calls destroy at once. Runs are known from the construction of the first
// top-level window of the layer on (top_level_parent).
bool destroy_after_modal_children(wxWindow* window, const std::function<bool()>& destroy);

// Whether window may move under new_parent: not to no parent, not into
// itself or one of its own descendants (the toolkit loops forever there).
// When it may, it leaves a sizer of another window, which would otherwise
// keep laying it out and refuse to let the new parent's sizer take it.
bool prepare_reparent(wxWindow* window, wxWindowBase* new_parent);

}  // namespace tov_atsui::detail
#pragma GCC visibility pop
