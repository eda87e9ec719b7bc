// SPDX-License-Identifier: MIT
#include "atsui/detail/translation.h"

#include <wx/translation.h>

namespace tov_atsui::detail {

wxString tr(const char* caption) {
    const wxString text = wxString::FromUTF8(caption);
    return wxGetTranslation(text, kDomain);
}

}  // namespace tov_atsui::detail
