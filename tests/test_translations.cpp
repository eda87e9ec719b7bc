// SPDX-License-Identifier: MIT
// The layer's captions in a host's language: the catalog "tov_atsui" that a
// host loads; exactly the built-in text when it loads none.
#include <atsui/launcher/ats_launcher.h>
#include <atsui/station/about_dialog.h>
#include <atsui/station/cell.h>
#include <atsui/station/frame.h>
#include <atsui/station/manual_operation_dialog.h>
#include <atsui/station/ticker_exception_dialog.h>
#include <atsui/viewer/test_data_viewer_panel.h>

#include <initializer_list>
#include <vector>

#include <wx/choice.h>
#include <wx/notebook.h>
#include <wx/radiobox.h>
#include <wx/translation.h>

#include "support/harness.h"

using namespace atsui_test;

namespace {

// The host's language for one test: German, with the catalogs of the given
// domains, as a host sets it up before it builds its windows.
class Language {
public:
    Language(const char* language, std::initializer_list<const char*> domains) {
        wxFileTranslationsLoader::AddCatalogLookupPathPrefix(ATSUI_LOCALE_DIR);
        wxFileTranslationsLoader::AddCatalogLookupPathPrefix(ATSUI_TEST_LOCALE_DIR);
        auto* translations = new wxTranslations;
        translations->SetLanguage(language);
        wxTranslations::Set(translations);
        for (const char* domain : domains) loaded.push_back(translations->AddCatalog(domain));
    }
    ~Language() { wxTranslations::Set(nullptr); }
    Language(const Language&) = delete;
    Language& operator=(const Language&) = delete;

    std::vector<bool> loaded;
};

template <typename W>
struct Owned {
    W* window = new W(nullptr);
    ~Owned() {
        window->Destroy();
        pump(0);
    }
    W* operator->() const { return window; }
};

std::vector<wxString> menu_titles(wxMenuBar* bar) {
    std::vector<wxString> titles;
    for (size_t m = 0; m < bar->GetMenuCount(); ++m) titles.push_back(bar->GetMenuLabel(m));
    return titles;
}

std::vector<wxString> column_labels(wxGrid* grid) {
    std::vector<wxString> labels;
    for (int c = 0; c < grid->GetNumberCols(); ++c) labels.push_back(grid->GetColLabelValue(c));
    return labels;
}

std::vector<wxString> U8s(std::initializer_list<const char*> texts) {
    std::vector<wxString> out;
    for (const char* text : texts) out.push_back(U8(text));
    return out;
}

}  // namespace

class TranslationTest : public WindowTest {};

// A host in German that loads only its own catalog: the layer's captions are
// the built-in ones, even where the host's catalog has the same words.
TEST_F(TranslationTest, WithoutTheLayersCatalogCaptionsAreTheBuiltInText) {
    Language german("de", {"atsui_test_host"});
    ASSERT_EQ(german.loaded, std::vector<bool>{true});
    ASSERT_EQ(wxGetTranslation("Open"), U8("Host-Öffnen")) << "the host's catalog is not in use";

    Owned<tov_atsui::Frame> frame;
    EXPECT_EQ(frame->GetTitle(), "Tarvo Auto Test System");
    EXPECT_EQ(menu_titles(frame->m_menubar1),
              (std::vector<wxString>{"File", "Edit", "View", "Option", "Help"}));
    EXPECT_EQ(code_points(frame->ui_export_assertion_config->GetItemLabel()),
              code_points_utf8("导出测试项参数文件"));
    EXPECT_EQ(frame->ui_ok_count_label->GetLabel(), "OK");

    Owned<tov_atsui::ATSLauncher> launcher;
    EXPECT_EQ(launcher->GetTitle(), "Welcome to Pelno");
    EXPECT_EQ(launcher->m_button14->GetLabel(), "Open");
    EXPECT_EQ(code_points(launcher->ui_browse->GetLabel()), code_points_utf8("Browse……"));

    auto* cell = new tov_atsui::Cell(top);
    EXPECT_EQ(cell->ui_abort->GetLabel(), "Abort");
    EXPECT_EQ(cell->ui_cell_name->GetLabel(), "Cell 1");
    EXPECT_EQ(column_labels(cell->ui_history_grid),
              (std::vector<wxString>{"Begin Time", "End Time", "Serial Number", "Result",
                                     "Description"}));

    auto* viewer = new tov_atsui::TestDataViewerPanel(top);
    EXPECT_EQ(viewer->m_staticText33->GetLabel(), "Cell");
    EXPECT_EQ(viewer->ui_cell_filter->GetString(0), "all");
    EXPECT_EQ(code_points(viewer->m_button9->GetLabel()), code_points_utf8("清空数据"));
    EXPECT_EQ(code_points(viewer->m_staticText161->GetLabel()), code_points_utf8("最大值"));
    EXPECT_EQ(column_labels(viewer->ui_assertions),
              (std::vector<wxString>{"Item Name", "Value", "Lower", "Upper", "Unit", "Result"}));
}

// The German catalog the layer ships: every window's captions in German,
// the viewer's Chinese ones too, so that a German host shows one language.
TEST_F(TranslationTest, TheGermanCatalogGivesEveryWindowGermanCaptions) {
    Language german("de", {"tov_atsui", "atsui_test_host"});
    ASSERT_EQ(german.loaded, (std::vector<bool>{true, true}))
        << "catalogs under " << ATSUI_LOCALE_DIR << " and " << ATSUI_TEST_LOCALE_DIR;

    Owned<tov_atsui::Frame> frame;
    EXPECT_EQ(frame->GetTitle(), U8("Tarvo Automatisches Testsystem"));
    EXPECT_EQ(menu_titles(frame->m_menubar1),
              U8s({"Datei", "Bearbeiten", "Ansicht", "Optionen", "Hilfe"}));
    std::vector<wxString> edit;
    for (wxMenuItem* item : frame->m_menu2->GetMenuItems()) edit.push_back(item->GetItemLabel());
    EXPECT_EQ(edit, U8s({"Handbetrieb", "Ticker starten", "Statistik zurücksetzen", "Debug-Modus",
                         "Testparameter exportieren"}));
    EXPECT_EQ(frame->ui_ok_count_label->GetLabel(), "i.O.");
    EXPECT_EQ(frame->ui_ng_count_label->GetLabel(), "n.i.O.");
    EXPECT_EQ(frame->m_staticText8->GetLabel(), "Ausbeute");
    EXPECT_EQ(frame->ui_start_all->GetShortHelp(), "Alle Zellen starten");

    // The host's catalog holds "Open" too; the layer's own word wins in its window.
    Owned<tov_atsui::ATSLauncher> launcher;
    EXPECT_EQ(launcher->GetTitle(), "Willkommen bei Pelno");
    EXPECT_EQ(launcher->m_button14->GetLabel(), U8("Öffnen"));
    EXPECT_EQ(launcher->ui_button_learn->GetLabel(), "Pelno kennenlernen");

    auto* cell = new tov_atsui::Cell(top);
    EXPECT_EQ(cell->ui_abort->GetLabel(), "Abbrechen");
    EXPECT_EQ(cell->ui_prompt->GetLabel(), "Bereit");
    EXPECT_EQ(cell->ui_cell_name->GetLabel(), "Zelle 1");
    EXPECT_EQ(cell->ui_view_notebook->GetPageText(0), "Messung");
    EXPECT_EQ(cell->ui_view_notebook->GetPageText(1), "Protokoll");
    EXPECT_EQ(cell->ui_view_notebook->GetPageText(2), "Verlauf");
    EXPECT_EQ(column_labels(cell->ui_history_grid),
              U8s({"Beginn", "Ende", "Seriennummer", "Ergebnis", "Beschreibung"}));

    auto* viewer = new tov_atsui::TestDataViewerPanel(top);
    EXPECT_EQ(viewer->m_staticText33->GetLabel(), "Zelle");
    EXPECT_EQ(viewer->ui_cell_filter->GetString(0), "alle");
    EXPECT_EQ(viewer->m_button9->GetLabel(), U8("Daten löschen"));
    EXPECT_EQ(viewer->m_button12->GetLabel(), "Einzeltest speichern");
    EXPECT_EQ(viewer->m_staticText161->GetLabel(), "Maximum");
    EXPECT_EQ(viewer->m_staticText182->GetLabel(), "Ausbeute");
    EXPECT_EQ(viewer->ui_statistics_analyzer->GetString(1), "Gesamtstatistik");
    EXPECT_EQ(column_labels(viewer->ui_assertions),
              U8s({"Prüfschritt", "Wert", "Min", "Max", "Einheit", "Ergebnis"}));

    tov_atsui::TickerExceptionDialog ticker(top);
    EXPECT_EQ(ticker.m_staticText13->GetLabel(), "Ticker-Ausnahme");
    EXPECT_EQ(ticker.m_button5->GetLabel(), "Ticker anhalten");
    EXPECT_EQ(ticker.m_button51->GetLabel(), "Ticker fortsetzen");
    tov_atsui::ManualOperationDialog manual(top);
    EXPECT_TRUE(manual.ui_message->GetValue().StartsWith("Um Ihren eigenen"));
    EXPECT_EQ(wxSplit(manual.ui_message->GetValue(), '\n', '\0').size(), 11u);
    // wxMSW's text control counts the lines as wrapped on screen.
#if !defined(__WXMSW__)
    EXPECT_EQ(manual.ui_message->GetNumberOfLines(), 11);
#endif
    EXPECT_EQ(manual.m_button6->GetLabel(), U8("Schließen"));
    tov_atsui::AboutDialog about(top);
    EXPECT_EQ(about.m_staticText12->GetLabel(),
              "Copyright (C) 2019-2024 Tarvo. Alle Rechte vorbehalten.");
}

// The language is the host's choice when it builds a window: windows built
// after it drops its catalogs speak the built-in text again.
TEST_F(TranslationTest, WindowsBuiltAfterTheCatalogGoesAreInTheBuiltInText) {
    {
        Language german("de", {"tov_atsui"});
        ASSERT_EQ(german.loaded, std::vector<bool>{true});
        Owned<tov_atsui::Frame> frame;
        EXPECT_EQ(menu_titles(frame->m_menubar1).front(), "Datei");
    }
    Owned<tov_atsui::Frame> frame;
    EXPECT_EQ(menu_titles(frame->m_menubar1).front(), "File");
    EXPECT_EQ(frame->GetTitle(), "Tarvo Auto Test System");
}
