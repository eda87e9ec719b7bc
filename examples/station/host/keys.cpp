// SPDX-License-Identifier: MIT
#include "host/keys.h"

#include <wx/accel.h>
#include <wx/grid.h>
#include <wx/translation.h>

#if defined(__WXGTK3__) && defined(STATION_HAVE_GTK3)
#include <gtk/gtk.h>
#endif

namespace station {

CellKey cell_key(int number) {
    const int modifiers = number > 10 ? wxACCEL_CTRL | wxACCEL_ALT : wxACCEL_ALT;
    const int digit = number % 10;
    return {modifiers, '0' + digit,
            wxString(number > 10 ? _("Ctrl+Alt+") : _("Alt+")) << char('0' + digit)};
}

void leave_on_tab(wxGrid* grid) {
    grid->SetTabBehaviour(wxGrid::Tab_Leave);
    grid->Bind(wxEVT_GRID_TABBING, [grid](wxGridEvent& event) {
        const bool forward = !event.ShiftDown();
#if defined(__WXGTK3__) && defined(STATION_HAVE_GTK3)
        // GTK orders the focus itself, and wx's Navigate() leaves it to GTK:
        // what a Tab the grid did not take would have done, as often as it
        // takes to pass the grid's own label windows.
        if (wxWindow* top = wxGetTopLevelParent(grid)) {
            auto* window = GTK_WINDOW(top->GetHandle());
            auto* inside = static_cast<GtkWidget*>(grid->GetHandle());
            for (int step = 0; step < 8; ++step) {
                g_signal_emit_by_name(window, "move-focus",
                                      forward ? GTK_DIR_TAB_FORWARD : GTK_DIR_TAB_BACKWARD);
                GtkWidget* focus = gtk_window_get_focus(window);
                if (!focus || (focus != inside && !gtk_widget_is_ancestor(focus, inside))) break;
            }
            return;
        }
#endif
        // Tab_Leave would first walk the row's cells.
        grid->Navigate(forward ? wxNavigationKeyEvent::IsForward
                               : wxNavigationKeyEvent::IsBackward);
    });
}

}  // namespace station
