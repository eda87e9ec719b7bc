// SPDX-License-Identifier: MIT
#pragma once

// One language on the station's screen: its own texts (catalog atsui-station),
// the window layer's captions (tov_atsui) and wx's own words (wxstd), all
// from one choice, made before the first window is built.

#include <string>
#include <vector>

#include <wx/string.h>

namespace station {

inline constexpr const char* kStationCatalog = "atsui-station";
inline constexpr const char* kLayerCatalog = "tov_atsui";

// The languages the station ships complete catalogs for, as --lang takes them.
const std::vector<std::string>& station_languages();

// Folders holding <lang>/LC_MESSAGES/<catalog>.mo: beside the program (the
// build tree), then <prefix>/share/locale of each data folder.
std::vector<std::string> catalog_folders();

// Loads the catalogs of language ("": the user's locale, from LANGUAGE,
// LC_ALL, LC_MESSAGES and LANG; English where the station has no catalog
// for it). A language asked for whose catalog is missing is named in the
// message returned, and the station shows English.
wxString use_language(const std::string& language,
                      const std::vector<std::string>& folders = catalog_folders());

// A cell's name as the records keep it ("Cell 3", "<station> / Cell 3") as
// the operator reads it in the station's language ("Zelle 3").
wxString cell_caption(const std::string& record_cell);

// A caption of the window layer, as the layer shows it in its domain: the
// station's boxes name the layer's buttons that opened them.
wxString layer_caption(const char* utf8);

}  // namespace station
