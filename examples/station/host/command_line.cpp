// SPDX-License-Identifier: MIT
#include "host/command_line.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include <wx/cmdline.h>
#include <wx/msgout.h>
#include <wx/version.h>

#include <atsui/version.h>

#include "host/language.h"
#include "host/look.h"
#include "logic/record.h"
#include "logic/text.h"

namespace station {

void describe_command_line(wxCmdLineParser& parser) {
    parser.AddSwitch("h", "help", "show this help and exit", wxCMD_LINE_OPTION_HELP);
    parser.AddSwitch("", "version", "show the versions of the station and its libraries and exit");
    parser.AddSwitch("", "verbose", "log debug messages too");
    parser.AddLongOption("lang", "language of the station's texts: en or de (default: the user's "
                                 "locale, English where the station has no catalog for it)");
    parser.AddLongOption("project", "open this project at once, without the launcher");
    parser.AddLongOption("projects", "folder the launcher lists projects from");
    parser.AddLongOption("cells", "number of test cells (1 to 16, default 4)",
                         wxCMD_LINE_VAL_NUMBER);
    parser.AddLongOption("seed", "seed of the simulated measurements (default: from the clock)",
                         wxCMD_LINE_VAL_NUMBER);
    parser.AddLongOption("item-ms", "milliseconds per measured item (default 400)",
                         wxCMD_LINE_VAL_NUMBER);
    parser.AddLongOption("ticker-fault-after", "make the ticker's health check fail on tick N",
                         wxCMD_LINE_VAL_NUMBER);
    parser.AddLongOption("database",
                         "SQLite file of the test history, or a postgresql:// address; keep "
                         "the server's password out of it (ps shows it to every user): put it "
                         "in ~/.pgpass, a file named by PGPASSFILE, or PGPASSWORD");
    parser.AddLongOption("station", "this station's name on a line (default: the host name)");
    parser.AddLongOption("instrument-reply-ms",
                         "milliseconds an instrument may take to answer (default 3000)",
                         wxCMD_LINE_VAL_NUMBER);
    parser.AddSwitch("", "viewer", "open only the test data viewer");
    parser.AddLongOption("repeat", "test N units in every cell, then close", wxCMD_LINE_VAL_NUMBER);
    parser.AddLongOption("screenshots",
                         "run a scripted session, write one PNG per window into "
                         "this folder and exit");
}

wxString read_command_line(const wxCmdLineParser& parser, Options& options) {
    wxString text;
    long number = 0;
    if (parser.Found("project", &text)) options.project = to_utf8(text);
    if (parser.Found("projects", &text)) options.projects_folder = to_utf8(text);
    if (parser.Found("screenshots", &text)) options.screenshots = to_utf8(text);
    if (parser.Found("database", &text)) options.database = to_utf8(text);
    if (parser.Found("station", &text)) {
        // The name goes into every record and to the line server.
        options.station = to_utf8(text);
        if (text_length(options.station) > kMaxStationNameLength)
            return wxString::Format("--station must be at most %zu characters",
                                    kMaxStationNameLength);
    }
    if (parser.Found("lang", &text)) {
        const std::vector<std::string>& known = station_languages();
        if (std::find(known.begin(), known.end(), to_utf8(text)) == known.end()) {
            wxString names;
            for (const std::string& language : known)
                names += (names.empty() ? "" : ", ") + from_utf8(language);
            return wxString::Format("--lang \"%s\" is not a language of the station; it speaks %s",
                                    text, names);
        }
        options.language = to_utf8(text);
    }
    options.viewer_only = parser.Found("viewer");
    options.verbose = parser.Found("verbose");
    if (parser.Found("repeat", &number)) {
        if (number < 1) return "--repeat must be at least 1";
        options.repeat = int(number);
    }
    if (parser.Found("cells", &number)) {
        if (number < 1 || number > kMaxCells)
            return wxString::Format("--cells must be between 1 and %d", kMaxCells);
        options.cells = int(number);
        options.given.cells = true;
    }
    if (parser.Found("item-ms", &number)) {
        if (number < 10 || number > 60000) return "--item-ms must be between 10 and 60000";
        options.item_ms = int(number);
        options.given.item_ms = true;
    }
    if (parser.Found("instrument-reply-ms", &number)) {
        if (number < 50 || number > 600000)
            return "--instrument-reply-ms must be between 50 and 600000";
        options.instrument_reply_ms = int(number);
    }
    if (parser.Found("ticker-fault-after", &number)) {
        if (number < 1) return "--ticker-fault-after must be at least 1";
        options.ticker_fault_after = int(number);
    }
    if (parser.Found("seed", &number)) {
        if (number < 0) return "--seed must not be negative";
        options.seed = std::uint64_t(number);
    } else if (!options.screenshots.empty()) {
        options.seed = 5;  // the committed gallery is reproducible
    } else {
        options.seed =
            std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count() & 0x7fffffff);
    }
    return wxEmptyString;
}

wxString station_version() { return STATION_VERSION; }

wxString version_text() {
    // Before wxEntry wx cannot ask itself its version: the one built against.
    // One sentence after the name and version: help2man makes it the manual
    // page's last paragraph.
    return wxString::Format("atsui_station %s\n%s %s, built with tov_atsui %s and %s.\n",
                            STATION_VERSION, kProductName, STATION_VERSION, ATSUI_VERSION_STRING,
                            wxVERSION_STRING);
}

namespace {

// GTK's own options, which gtk_init takes out of the command line before wx
// reads it; this early reading must let them pass too.
std::vector<char*> without_toolkit_options(int argc, char** argv) {
    static const char* const with_value[] = {"--display",   "--gtk-module",  "--class",
                                             "--name",      "--gtk-debug",   "--gtk-no-debug",
                                             "--gdk-debug", "--gdk-no-debug"};
    std::vector<char*> kept;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i > 0 && arg == "--g-fatal-warnings") continue;
        bool toolkit = false;
        for (const char* option : with_value) {
            const std::string name = option;
            if (arg == name) {
                toolkit = true;
                ++i;  // its value follows
            } else if (arg.rfind(name + "=", 0) == 0) {
                toolkit = true;
            }
            if (toolkit) break;
        }
        if (i == 0 || !toolkit) kept.push_back(argv[i]);
    }
    return kept;
}

}  // namespace

std::optional<int> answer_without_station(int argc, char** argv) {
    // Before wxEntry nothing has chosen where messages go: mistakes to
    // stderr, the help asked for to stdout.
    delete wxMessageOutput::Set(new wxMessageOutputStderr(stderr));
    std::vector<char*> args = without_toolkit_options(argc, argv);
    wxCmdLineParser parser(int(args.size()), args.data());
    describe_command_line(parser);
    const int parsed = parser.Parse(false);
    if (parsed == -1) {
        delete wxMessageOutput::Set(new wxMessageOutputStderr(stdout));
        parser.Usage();
    }
    delete wxMessageOutput::Set(nullptr);
    if (parsed == -1) return 0;
    if (parsed != 0) {
        std::fputs("Try --help.\n", stderr);
        return 2;
    }
    if (parser.Found("version")) {
        const wxString text = version_text();
        std::fputs(text.utf8_str(), stdout);
        return 0;
    }
    Options options;
    if (const wxString problem = read_command_line(parser, options); !problem.empty()) {
        std::fprintf(stderr, "%s\n", static_cast<const char*>(problem.utf8_str()));
        return 2;
    }
    return std::nullopt;
}

}  // namespace station
