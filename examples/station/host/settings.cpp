// SPDX-License-Identifier: MIT
#include "host/settings.h"

#include <memory>

#include <wx/fileconf.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/persist/splitter.h>
#include <wx/persist/toplevel.h>
#include <wx/splitter.h>
#include <wx/sstream.h>
#include <wx/wfstream.h>

#include "host/options.h"
#include "host/station_log.h"
#include "logic/places.h"

namespace station {

namespace {

Settings* g_current = nullptr;

struct Range {
    const char* key;
    long lowest, highest, fallback;
};
const Range kCells{"station/cells", 1, kMaxCells, 4};
const Range kItemMs{"station/item_ms", 10, 60000, 400};
const Range kLogDays{"log/keep_days", 1, 3650, kLogDaysDefault};
const Range kNextCell{"station/next_cell_after_scan", 0, 1, 0};

// Only values the station wrote itself are expected here: anything else
// (text where a number belongs, a number out of range) is damage.
bool read_number(const wxFileConfig& config, const Range& range, long& value) {
    wxString text;
    if (!config.Read(range.key, &text)) {
        value = range.fallback;
        return true;
    }
    return text.ToLong(&value) && value >= range.lowest && value <= range.highest;
}

long number(const wxFileConfig& config, const Range& range) {
    long value = range.fallback;
    return read_number(config, range, value) ? value : range.fallback;
}

// wxFileConfig asserts on some malformed lines (a key with no name); those
// are damage to report, not a failed check to stop the station for.
wxString g_assertion;

void note_assertion(const wxString&, int, const wxString&, const wxString& condition,
                    const wxString& message) {
    if (g_assertion.empty()) g_assertion = message.empty() ? condition : message;
}

wxFileConfig* empty_config() {
    wxStringInputStream nothing{wxString()};
    return new wxFileConfig(nothing);
}

}  // namespace

Settings::Settings(const wxString& path) : path_(path) {
    {
        // flush() says it once if the folder cannot be made; wx would say it in a box.
        wxLogNull quiet;
        wxFileName::Mkdir(wxPathOnly(path_), wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    }
    wxString damage;
    if (wxFileName::DirExists(path_)) {
        // Not ours to move: the operator put it there or something went wrong.
        problem_ = wxString::Format(
            "The settings file %s is a folder: the defaults are used and nothing is remembered",
            path_);
        writable_ = false;
    } else if (wxFileName::FileExists(path_)) {
        CapturedLog messages;
        g_assertion.clear();
        const wxAssertHandler_t previous = wxSetAssertHandler(note_assertion);
        wxFileInputStream in(path_);
        config_ = in.IsOk() ? new wxFileConfig(in) : nullptr;
        wxSetAssertHandler(previous);
        damage = messages.text();
        if (damage.empty() && !g_assertion.empty()) damage = "unreadable line: " + g_assertion;
        if (!config_ && damage.empty()) damage = "it cannot be read";
        if (config_ && damage.empty()) damage = validate();
    }
    if (!damage.empty()) {
        const wxString aside = path_ + ".damaged";
        const bool moved = wxRenameFile(path_, aside, true);
        problem_ = wxString::Format(
            "The settings file %s is damaged (%s); %s, the defaults are used", path_, damage,
            moved ? "it was moved to " + aside : wxString("it is replaced"));
        delete config_;
        config_ = nullptr;
    }
    if (!config_) config_ = empty_config();
    write_defaults();
    // wxPersistenceManager reads and writes wx's global config.
    wxConfigBase::DontCreateOnDemand();
    wxConfigBase::Set(config_);
}

Settings::~Settings() {
    flush();
    if (g_current == this) g_current = nullptr;
    if (wxConfigBase::Get(false) == config_) wxConfigBase::Set(nullptr);
    delete config_;
}

wxString Settings::default_path() { return wxString::FromUTF8(config_folder()) + "/settings.ini"; }
Settings* Settings::current() { return g_current; }
void Settings::set_current(Settings* settings) { g_current = settings; }

wxString Settings::validate() const {
    for (const Range* range : {&kCells, &kItemMs, &kLogDays, &kNextCell}) {
        long value = 0;
        if (!read_number(*config_, *range, value))
            return wxString::Format("%s is not a number from %ld to %ld", range->key, range->lowest,
                                    range->highest);
    }
    return wxEmptyString;
}

// Written out, so an operator who opens the file sees what can be set.
void Settings::write_defaults() {
    for (const Range* range : {&kCells, &kItemMs, &kLogDays, &kNextCell})
        if (!config_->HasEntry(range->key)) config_->Write(range->key, range->fallback);
}

int Settings::cells() const { return int(number(*config_, kCells)); }
int Settings::item_ms() const { return int(number(*config_, kItemMs)); }
int Settings::log_days() const { return int(number(*config_, kLogDays)); }
bool Settings::next_cell_after_scan() const { return number(*config_, kNextCell) == 1; }
wxString Settings::last_project() const { return config_->Read("recent/project", wxString()); }
wxString Settings::folder(const wxString& what) const {
    return config_->Read("recent/folder_" + what, wxString());
}

void Settings::set_last_project(const wxString& path) {
    if (last_project() == path) return;
    config_->Write("recent/project", path);
    wxLogMessage("Setting changed: last project %s", path);
    flush();
}

void Settings::set_folder(const wxString& what, const wxString& folder) {
    if (folder.empty() || this->folder(what) == folder) return;
    config_->Write("recent/folder_" + what, folder);
    wxLogDebug("Setting changed: %s folder %s", what, folder);
}

void Settings::set_next_cell_after_scan(bool on) {
    if (next_cell_after_scan() == on) return;
    config_->Write(kNextCell.key, on ? 1 : 0);
    wxLogMessage("Setting changed: next cell after a scan %s", on ? "on" : "off");
    flush();
}

void Settings::fill(Options& options) const {
    if (!options.given.cells) options.cells = cells();
    if (!options.given.item_ms) options.item_ms = item_ms();
    options.next_cell_after_scan = next_cell_after_scan();
}

// Through a temporary file in the same folder: a crash mid-write leaves the
// old file whole. A write that fails removes its temporary file, which
// wxTempFileOutputStream leaves behind when its commit fails, and is
// reported once: the station flushes often and runs on without it.
bool Settings::flush() {
    if (!writable_) return false;
    wxString why;
    {
        CapturedLog messages;
        wxFileName::Mkdir(wxPathOnly(path_), wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
        const wxString temporary = wxFileName::CreateTempFileName(path_);
        bool written = false;
        if (!temporary.empty()) {
            {
                wxFileOutputStream out(temporary);
                written = out.IsOk() && config_->Save(out) && out.Close();
            }
            written = written && wxRenameFile(temporary, path_, true);
            if (!written) wxRemoveFile(temporary);
        }
        if (!written) why = messages.text().empty() ? wxString("no reason given") : messages.text();
    }
    if (why.empty()) {
        warned_ = false;
        return true;
    }
    if (!warned_) wxLogWarning("Cannot write the settings file %s: %s", path_, why);
    warned_ = true;
    return false;
}

void remember_window(wxTopLevelWindow* window, const wxString& name) {
    if (!Settings::current()) return;
    wxPersistentRegisterAndRestore(window, name);
}

void remember_sash(wxSplitterWindow* splitter, const wxString& name) {
    if (!Settings::current()) return;
    splitter->SetName(name);
    wxPersistenceManager::Get().Register(splitter);
    // The layer sets the sash at the first idle time the splitter is on
    // screen; the remembered place comes at the idle time after that.
    auto stage = std::make_shared<int>(0);
    splitter->Bind(wxEVT_IDLE, [splitter, stage](wxIdleEvent& event) {
        event.Skip();
        if (*stage == 2 || !splitter->IsShownOnScreen()) return;
        if (++*stage == 1) {
            event.RequestMore();
            return;
        }
        wxPersistenceManager::Get().Restore(splitter);
    });
}

}  // namespace station
