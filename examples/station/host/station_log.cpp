// SPDX-License-Identifier: MIT
#include "host/station_log.h"

#include <wx/datetime.h>
#include <wx/dir.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/utils.h>

namespace station {

namespace {

constexpr const char* kCellKey = "station.cell";
constexpr const char* kCellNameKey = "station.cell_name";
constexpr const char* kLogPrefix = "atsui-station-";
constexpr const char* kLogSuffix = ".log";

const char* level_name(wxLogLevel level) {
    switch (level) {
        case wxLOG_FatalError: return "FATAL ";
        case wxLOG_Error: return "ERROR ";
        case wxLOG_Warning: return "WARN  ";
        case wxLOG_Message: return "INFO  ";
        case wxLOG_Status: return "STATE ";
        case wxLOG_Info: return "DETAIL";
        case wxLOG_Debug: return "DEBUG ";
        default: return "TRACE ";
    }
}

}  // namespace

wxString log_file_name(const wxString& iso_day) { return kLogPrefix + iso_day + kLogSuffix; }

CapturedLog::CapturedLog() : previous_(wxLog::SetActiveTarget(this)) {}
CapturedLog::~CapturedLog() { wxLog::SetActiveTarget(previous_); }

void CapturedLog::DoLogRecord(wxLogLevel level, const wxString& message, const wxLogRecordInfo&) {
    if (level > wxLOG_Warning) return;
    if (!text_.empty()) text_ += "; ";
    text_ += message;
    // A config read from a stream has no file name to tell.
    text_.Replace("file '', ", wxEmptyString);
    text_.Replace("file '': ", wxEmptyString);
}

void log_for_cell(const wxWindow* cell, const wxString& cell_name, wxLogLevel level,
                  const wxString& text) {
    if (!wxLog::IsLevelEnabled(level, wxLOG_COMPONENT)) return;
    wxLogger(level, __FILE__, __LINE__, __func__, wxLOG_COMPONENT)
        .Store(kCellKey, wxUIntPtr(cell))
        .Store(kCellNameKey, cell_name)
        .Log("%s", text);
}

StationLog::StationLog(const wxString& folder, int keep_days, wxLog* next, wxLogLevel pass_level)
    : folder_(folder), next_(next), pass_level_(pass_level) {
    if (folder_.empty()) return;
    wxString why;
    {
        // wx would say it in a box of its own, before any window, and a
        // scripted run would wait on it.
        CapturedLog messages;
        if (!wxFileName::Mkdir(folder_, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL))
            why = messages.text().empty() ? wxString("no reason given") : messages.text();
    }
    if (!why.empty()) {
        file_failed_ = true;
        problem_ = "Cannot create the log folder " + folder_ + " (" + why +
                   "): the station runs without a log file";
        pass_on(wxLOG_Warning, problem_);
        return;
    }
    remove_old_files(keep_days);
    open_for_day(wxDateTime::Now().FormatISODate());
}

StationLog::~StationLog() = default;

StationLog* StationLog::active() { return dynamic_cast<StationLog*>(wxLog::GetActiveTarget()); }

StationLog& StationLog::ensure() {
    if (StationLog* log = active()) return *log;
    auto* log = new StationLog(wxEmptyString, 0, nullptr, wxLOG_Max);
    log->next_.reset(wxLog::SetActiveTarget(log));
    return *log;
}

void StationLog::attach(const wxWindow* cell, Sink sink) { cells_[cell] = std::move(sink); }
void StationLog::detach(const wxWindow* cell) { cells_.erase(cell); }

// By the date in the name, not the file's time: a copied or touched log
// keeps its day.
void StationLog::remove_old_files(int keep_days) {
    if (keep_days < 1) return;
    const wxDateTime oldest = wxDateTime::Today() - wxDateSpan::Days(keep_days);
    wxDir dir(folder_);
    if (!dir.IsOpened()) return;
    wxString name;
    const wxString pattern = wxString(kLogPrefix) + "*" + kLogSuffix;
    for (bool more = dir.GetFirst(&name, pattern, wxDIR_FILES); more; more = dir.GetNext(&name)) {
        const wxString day = name.Mid(wxStrlen(kLogPrefix), 10);
        wxDateTime date;
        if (name.length() != wxStrlen(kLogPrefix) + 10 + wxStrlen(kLogSuffix) ||
            !date.ParseISODate(day))
            continue;
        if (date.IsEarlierThan(oldest) && wxRemoveFile(folder_ + "/" + name)) ++removed_;
    }
}

void StationLog::open_for_day(const wxString& day) {
    day_ = day;
    path_ = folder_ + "/" + log_file_name(day);
    file_.Close();
    bool opened = false;
    wxString why;
    {
        CapturedLog messages;
        opened = file_.Open(path_, "a");
        if (!opened) why = messages.text().empty() ? wxString("no reason given") : messages.text();
    }
    if (!opened) {
        if (!file_failed_) {
            problem_ = "Cannot write the log file " + path_ + " (" + why +
                       "): the station runs without a log file";
            pass_on(wxLOG_Warning, problem_);
        }
        file_failed_ = true;
        return;
    }
    file_failed_ = false;
    problem_.clear();
}

void StationLog::pass_on(wxLogLevel level, const wxString& text, const wxLogRecordInfo* info) {
    if (!next_ || level > pass_level_) return;
    wxLogRecordInfo here(__FILE__, __LINE__, __func__, wxLOG_COMPONENT);
    here.timestampMS = wxGetUTCTimeMillis().GetValue();
    next_->LogRecord(level, text, info ? *info : here);
}

void StationLog::DoLogRecord(wxLogLevel level, const wxString& message,
                             const wxLogRecordInfo& info) {
    const wxLongLong_t ms = info.timestampMS ? info.timestampMS : wxGetUTCTimeMillis().GetValue();
    const wxDateTime when{wxLongLong(ms)};
    wxString cell_name;
    wxUIntPtr cell = 0;
    info.GetStrValue(kCellNameKey, &cell_name);
    info.GetNumValue(kCellKey, &cell);

    if (cell) {
        const auto sink = cells_.find(reinterpret_cast<const wxWindow*>(cell));
        if (sink != cells_.end()) sink->second(when.Format("%H:%M:%S  ") + message + "\n");
    }
    const wxString who = cell_name.empty() ? wxString("station") : cell_name;
    if (!folder_.empty()) {
        const wxString day = when.FormatISODate();
        if (day != day_) open_for_day(day);
        if (file_.IsOpened()) {
            wxString text = message;
            text.Replace("\n", " | ");
            const wxString line =
                wxString::Format("%s.%03d %s [%s] %s\n", when.Format("%Y-%m-%d %H:%M:%S"),
                                 int(when.GetMillisecond()), level_name(level), who, text);
            // A line at a time: what a crash leaves behind is whole and flushed.
            file_.Write(line, wxConvUTF8);
            file_.Flush();
        }
    }
    pass_on(level, cell_name.empty() ? message : cell_name + ": " + message, &info);
}

}  // namespace station
