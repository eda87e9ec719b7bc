// SPDX-License-Identifier: MIT
#pragma once

// The station's log: a file per day for whoever looks into a run later, and
// each cell's Logger tab for the operator watching it.

#include <functional>
#include <map>
#include <memory>

#include <wx/ffile.h>
#include <wx/log.h>
#include <wx/string.h>

class wxWindow;

namespace station {

// "atsui-station-2026-12-09.log": the file of that local day.
wxString log_file_name(const wxString& iso_day);

// Collects the warnings and errors wx logs while it lives, instead of letting
// the GUI show them in message boxes; the caller words the problem itself.
class CapturedLog : public wxLog {
public:
    CapturedLog();
    ~CapturedLog() override;
    CapturedLog(const CapturedLog&) = delete;
    CapturedLog& operator=(const CapturedLog&) = delete;
    const wxString& text() const { return text_; }

protected:
    void DoLogRecord(wxLogLevel level, const wxString& message,
                     const wxLogRecordInfo& info) override;

private:
    wxLog* previous_;
    wxString text_;
};

// A message about one cell: it reaches the cell's Logger tab and the file.
void log_for_cell(const wxWindow* cell, const wxString& cell_name, wxLogLevel level,
                  const wxString& text);

// The log chain: every message goes to the day's file (if there is a folder),
// a cell's messages to that cell's Logger tab, and the severe ones on to the
// next target. wx hands it other threads' messages on the GUI thread, at
// idle time, so the tabs are only touched there.
class StationLog : public wxLog {
public:
    using Sink = std::function<void(const wxString& line)>;

    // next (owned, may be null) gets the messages at pass_level or more severe.
    StationLog(const wxString& folder, int keep_days, wxLog* next, wxLogLevel pass_level);
    ~StationLog() override;

    // The active target when it is a StationLog.
    static StationLog* active();
    // The active StationLog, put in front of the current target if there is
    // none (a host that built the station's windows itself).
    static StationLog& ensure();

    void attach(const wxWindow* cell, Sink sink);
    void detach(const wxWindow* cell);

    // Today's file; empty without a folder.
    const wxString& file_path() const { return path_; }
    // Files older than keep_days removed when the log started.
    int removed_files() const { return removed_; }
    // Why there is no log file, for the status bar; empty while there is one.
    const wxString& problem() const { return problem_; }

protected:
    void DoLogRecord(wxLogLevel level, const wxString& message,
                     const wxLogRecordInfo& info) override;

private:
    void open_for_day(const wxString& day);
    void remove_old_files(int keep_days);
    void pass_on(wxLogLevel level, const wxString& text, const wxLogRecordInfo* info = nullptr);

    wxString folder_;
    wxString day_;
    wxString path_;
    wxFFile file_;
    bool file_failed_ = false;
    wxString problem_;
    int removed_ = 0;
    std::unique_ptr<wxLog> next_;
    wxLogLevel pass_level_;
    std::map<const wxWindow*, Sink> cells_;
};

}  // namespace station
