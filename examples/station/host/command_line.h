// SPDX-License-Identifier: MIT
#pragma once

// The station's command line, read once before the toolkit starts (so
// --help, --version and mistakes need no display) and again by the app.

#include <optional>

#include <wx/string.h>

#include "host/options.h"

class wxCmdLineParser;

namespace station {

void describe_command_line(wxCmdLineParser& parser);
// Fills options from a parsed command line; the reason when a value is out of range.
wxString read_command_line(const wxCmdLineParser& parser, Options& options);
// The one name and version the station gives itself, in every window, in
// its desktop entry and in --version.
inline const char* const kProductName = "ATSUI Test Station";
wxString station_version();
// "atsui_station 1.0.0", the product's name and the versions of the window layer and of wx.
wxString version_text();
// The exit code when the command line asks for no station at all (help,
// version, a mistake), nothing when the station should start.
std::optional<int> answer_without_station(int argc, char** argv);

}  // namespace station
