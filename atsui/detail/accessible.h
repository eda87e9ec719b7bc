// SPDX-License-Identifier: MIT
#pragma once

// Accessible names for screen readers and GUI automation: through ATK on
// wxGTK (AT-SPI), through wxAccessible on wxMSW (MSAA, and UI Automation's
// bridge to it). Private: not installed.
//
// A field is named after the caption beside it ("SN:" names the serial
// number field "SN") and follows that caption when a host changes it; a
// widget without a caption gets a short role in its window's language. Tools
// are named by their short help. Only the toolkit's accessible objects change:
// wx labels, names and ids stay as they are.

namespace tov_atsui {
class Frame;
class Cell;
class TickerExceptionDialog;
class ManualOperationDialog;
class TestDataViewerPanel;
class ATSLauncher;
}  // namespace tov_atsui

#pragma GCC visibility push(hidden)
namespace tov_atsui::detail {

// Each is called at the end of its window's constructor.
void give_accessible_names(Frame& frame);
void give_accessible_names(Cell& cell);
void give_accessible_names(TickerExceptionDialog& dialog);
void give_accessible_names(ManualOperationDialog& dialog);
void give_accessible_names(TestDataViewerPanel& panel);
void give_accessible_names(ATSLauncher& launcher);

}  // namespace tov_atsui::detail
#pragma GCC visibility pop
