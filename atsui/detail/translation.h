// SPDX-License-Identifier: MIT
#pragma once

// The layer's captions in the host's language. Private: not installed.

#include <wx/string.h>

#pragma GCC visibility push(hidden)
namespace tov_atsui::detail {

// The layer's own gettext domain, so that its words never mix with a host's
// catalog of the same msgids and a host loads them with AddCatalog("tov_atsui").
inline constexpr const char kDomain[] = "tov_atsui";

// The caption (UTF-8) as the host's catalog of kDomain gives it; the caption
// itself, exactly, when the host loaded none.
wxString tr(const char* caption);

}  // namespace tov_atsui::detail
#pragma GCC visibility pop
