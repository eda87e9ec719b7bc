// SPDX-License-Identifier: MIT
#include "host/language.h"

#include <wx/dir.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/translation.h>

#include "host/look.h"
#include "logic/places.h"

namespace station {

namespace {

// Catalogs from the station's own folders only, in their order: wx's file
// loader would also search every folder any code of the process ever added.
class FolderCatalogs : public wxTranslationsLoader {
public:
    explicit FolderCatalogs(const std::vector<std::string>& folders) {
        for (const std::string& folder : folders) folders_.push_back(from_utf8(folder));
    }

    wxMsgCatalog* LoadCatalog(const wxString& domain, const wxString& language) override {
        for (const wxString& folder : folders_) {
            const wxString path = file(folder, language, domain);
            if (wxFileName::FileExists(path)) {
                wxLogDebug("Catalog %s", path);
                return wxMsgCatalog::CreateFromFile(path, domain);
            }
        }
        return nullptr;
    }

    wxArrayString GetAvailableTranslations(const wxString& domain) const override {
        wxArrayString languages;
        for (const wxString& folder : folders_) {
            wxDir dir;
            if (!wxDir::Exists(folder) || !dir.Open(folder)) continue;
            wxString language;
            for (bool more = dir.GetFirst(&language, wxEmptyString, wxDIR_DIRS); more;
                 more = dir.GetNext(&language))
                if (wxFileName::FileExists(file(folder, language, domain)) &&
                    languages.Index(language) == wxNOT_FOUND)
                    languages.Add(language);
        }
        return languages;
    }

private:
    static wxString file(const wxString& folder, const wxString& language, const wxString& domain) {
        return folder + "/" + language + "/LC_MESSAGES/" + domain + ".mo";
    }

    std::vector<wxString> folders_;
};

}  // namespace

wxString cell_caption(const std::string& record_cell) {
    const wxString name = from_utf8(record_cell);
    const std::size_t slash = name.rfind(" / ");
    const wxString line = slash == wxString::npos ? wxString() : name.Left(slash + 3);
    const wxString cell = slash == wxString::npos ? name : name.Mid(slash + 3);
    long number = 0;
    if (!cell.StartsWith("Cell ") || !cell.Mid(5).ToLong(&number) || number < 1) return name;
    return line + wxString::Format(_("Cell %d"), int(number));
}

wxString layer_caption(const char* utf8) {
    return wxGetTranslation(wxString::FromUTF8(utf8), kLayerCatalog);
}

const std::vector<std::string>& station_languages() {
    static const std::vector<std::string> languages = {"en", "de"};
    return languages;
}

std::vector<std::string> catalog_folders() {
    std::vector<std::string> folders;
    const std::vector<std::string> data = data_folders();
    for (std::size_t i = 0; i < data.size(); ++i) {
        // Every data folder after the executable's is <share>/atsui-station.
        wxFileName folder = wxFileName::DirName(from_utf8(data[i]));
        if (i > 0) folder.RemoveLastDir();
        folder.AppendDir("locale");
        folders.push_back(to_utf8(folder.GetPath()));
    }
    return folders;
}

wxString use_language(const std::string& language, const std::vector<std::string>& folders) {
    auto* translations = new wxTranslations;
    translations->SetLoader(new FolderCatalogs(folders));
    if (language.empty())
        translations->SetLanguage(wxLANGUAGE_DEFAULT);
    else
        translations->SetLanguage(from_utf8(language));
    wxTranslations::Set(translations);
    // The catalog added last is searched first for _(): the station's own, so
    // that wx's "OK" never stands in for the station's verdict.
    translations->AddStdCatalog();
    translations->AddCatalog(kLayerCatalog);
    // True also when the language is English, the texts' own, without a catalog.
    const bool station = translations->AddCatalog(kStationCatalog);
    // A user's locale the station has no catalog for is shown in English, as meant.
    if (station || language.empty()) return wxEmptyString;
    wxString searched;
    for (const std::string& folder : folders) searched += "\n  " + from_utf8(folder);
    return wxString::Format("No catalog %s/LC_MESSAGES/%s.mo in any of:%s\n"
                            "The station shows its texts in English.",
                            from_utf8(language), kStationCatalog, searched);
}

}  // namespace station
