// SPDX-License-Identifier: MIT
// One language on the station's screen: German from its catalogs and the
// layer's, read from the widgets; English, the built-in text, without them;
// a language the station does not speak refused by name.
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <wx/menu.h>
#include <wx/statusbr.h>
#include <wx/translation.h>

#include <atsui/station/about_dialog.h>

#include "host/command_line.h"
#include "host/language.h"
#include "station_fixture.h"
#include "station_process.h"

using namespace atsui_test;
using namespace station_test;

namespace {

constexpr int kFinishMs = 10000;

std::vector<wxString> menu_titles(wxMenuBar* bar) {
    std::vector<wxString> titles;
    for (size_t m = 0; m < bar->GetMenuCount(); ++m) titles.push_back(bar->GetMenuLabelText(m));
    return titles;
}

std::vector<wxString> item_labels(wxMenu* menu) {
    std::vector<wxString> labels;
    for (wxMenuItem* item : menu->GetMenuItems())
        if (!item->IsSeparator()) labels.push_back(item->GetItemLabelText());
    return labels;
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

class StationLanguageTest : public StationFixture {
protected:
    StationLanguageTest() : StationFixture("language") {}
    void TearDown() override {
        StationFixture::TearDown();
        wxTranslations::Set(nullptr);
    }

    // Tests one unit in cell 1 to its verdict.
    void test_one_unit(const wxString& serial) {
        cell(1)->ui_serial_number->SetValue(serial);
        press_enter(cell(1)->ui_serial_number);
        ASSERT_TRUE(pump_until([&] { return cell(1)->running(); }));
        ASSERT_TRUE(pump_until([&] { return all_idle(); }, kFinishMs));
        ASSERT_TRUE(pump_until([&] { return cell(1)->ui_history_grid->GetNumberRows() == 1; },
                               kFinishMs));
    }
};

TEST_F(StationLanguageTest, GermanShowsInMenusCellsStatusAndAbout) {
    ASSERT_EQ(station::use_language("de", {STATION_LOCALE_DIR}), wxString());
    open();

    EXPECT_EQ(menu_titles(frame->m_menubar1),
              U8s({"Datei", "Bearbeiten", "Zellen", "Ansicht", "Optionen", "Hilfe"}));
    EXPECT_EQ(item_labels(frame->m_menubar1->GetMenu(2)),
              U8s({"Alle Zellen starten", "Alle Zellen abbrechen", "Nach dem Scan nächste Zelle"}));
    EXPECT_EQ(item_labels(frame->m_menu5),
              U8s({"Testparameter bearbeiten", "Testparameter neu laden",
                   "Testparameter speichern"}));
    EXPECT_EQ(frame->m_menuItem7->GetHelp(),
              "Die gespeicherten Tests durchsehen, filtern und exportieren");
    EXPECT_EQ(frame->ui_ok_count_label->GetLabel(), "i.O.");

    EXPECT_EQ(cell(1)->ui_cell_name->GetLabel(), "Zelle 1");
    EXPECT_EQ(cell(2)->ui_cell_name->GetLabel(), "Zelle 2");
    EXPECT_EQ(cell(1)->ui_prompt->GetLabel(), "Bereit");
    EXPECT_EQ(cell(1)->ui_view_notebook->GetPageText(1), "Protokoll");
    EXPECT_EQ(column_labels(cell(1)->ui_assertions),
              U8s({"Prüfschritt", "Wert", "Min", "Max", "Einheit", "Ergebnis"}));
    EXPECT_EQ(column_labels(cell(1)->ui_history_grid),
              U8s({"Beginn", "Ende", "Seriennummer", "Ergebnis", "Beschreibung"}));
    EXPECT_TRUE(pump_until([&] {
        return frame->GetStatusBar()->GetStatusText().StartsWith("Bereit: Test board, 2 Zellen");
    })) << frame->GetStatusBar()->GetStatusText();

    // A refused start, a test and its verdict, in the cell's words.
    press_enter(cell(1)->ui_serial_number);
    EXPECT_TRUE(pump_until([&] {
        return cell(1)->ui_prompt->GetLabel() == "Seriennummer eingeben, um zu starten";
    })) << cell(1)->ui_prompt->GetLabel();
    ASSERT_NO_FATAL_FAILURE(test_one_unit("DE-0001"));
    const wxString verdict = cell(1)->ui_history_grid->GetCellValue(0, 3);
    EXPECT_TRUE(verdict == "i.O." || verdict == "n.i.O.") << verdict;
    EXPECT_EQ(cell(1)->ui_assertions->GetCellValue(0, 5).Matches("*i.O."), true)
        << cell(1)->ui_assertions->GetCellValue(0, 5);
    const wxString description = cell(1)->ui_history_grid->GetCellValue(0, 4);
    EXPECT_TRUE(description.StartsWith("alle ") || description.StartsWith(U8("außerhalb")))
        << description;
    EXPECT_TRUE(cell(1)->ui_prompt->GetLabel().StartsWith("DE-0001: ")) << cell(1)->ui_prompt->GetLabel();
    EXPECT_TRUE(logger_text(cell(1)).Contains("Test von DE-0001 gestartet: Test board"))
        << logger_text(cell(1));

    // One product name in every language.
    tov_atsui::AboutDialog about(frame);
    station::say_about(about);
    EXPECT_EQ(about.GetTitle(), U8("Über ") + station::kProductName);
    EXPECT_TRUE(about.m_staticText11->GetLabel().StartsWith(station::kProductName));
    EXPECT_EQ(about.m_staticText14->GetLabel(), "Version : " + station::station_version());
    EXPECT_EQ(frame->GetTitle(), wxString(station::kProductName) + " - Test board");
}

// English twice: no catalog at all (the built-in text), and --lang en from
// the English catalog; both read the same, the layer's captions included.
TEST_F(StationLanguageTest, EnglishWithOrWithoutItsCatalogReadsTheSame) {
    for (const bool catalog : {false, true}) {
        SCOPED_TRACE(catalog ? "--lang en" : "no catalog");
        if (catalog) {
            ASSERT_EQ(station::use_language("en", {STATION_LOCALE_DIR}), wxString());
        }
        open();
        EXPECT_EQ(menu_titles(frame->m_menubar1),
                  (std::vector<wxString>{"File", "Edit", "Cells", "View", "Option", "Help"}));
        EXPECT_EQ(item_labels(frame->m_menubar1->GetMenu(2)),
                  (std::vector<wxString>{"Start All Cells", "Abort All Cells",
                                         "Next Cell After a Scan"}));
        EXPECT_EQ(cell(1)->ui_cell_name->GetLabel(), "Cell 1");
        EXPECT_EQ(cell(1)->ui_prompt->GetLabel(), "Ready");
        EXPECT_EQ(frame->ui_ok_count_label->GetLabel(), "OK");
        EXPECT_EQ(column_labels(cell(1)->ui_history_grid),
                  (std::vector<wxString>{"Begin Time", "End Time", "Serial Number", "Result",
                                         "Description"}));
        ASSERT_NO_FATAL_FAILURE(test_one_unit(catalog ? "EN-0002" : "EN-0001"));
        const wxString verdict = cell(1)->ui_history_grid->GetCellValue(0, 3);
        EXPECT_TRUE(verdict == "OK" || verdict == "NG") << verdict;
        frame->Destroy();
        frame = nullptr;
        pump(50);
    }
}

TEST_F(StationLanguageTest, ALanguageWithoutItsCatalogIsNamedAndTheStationShowsEnglish) {
    const std::filesystem::path empty = folder / "no-catalogs";
    std::filesystem::create_directories(empty);
    const wxString problem = station::use_language("de", {empty.string()});
    EXPECT_TRUE(problem.Contains("de/LC_MESSAGES/atsui-station.mo")) << problem;
    EXPECT_TRUE(problem.Contains(empty.string())) << problem;
    EXPECT_TRUE(problem.Contains("English")) << problem;
    open();
    EXPECT_EQ(menu_titles(frame->m_menubar1).front(), "File");
    EXPECT_EQ(cell(1)->ui_prompt->GetLabel(), "Ready");
}

TEST_F(StationLanguageTest, AnUnknownLangIsRefusedBeforeAnyWindow) {
    StationProcess station(STATION_EXECUTABLE, {"--lang", "fr", "--project", project_path});
    EXPECT_EQ(station.wait(std::chrono::seconds(20)), 2) << station.output();
    EXPECT_NE(station.output().find("--lang \"fr\" is not a language of the station; it speaks "
                                    "en, de"),
              std::string::npos)
        << station.output();
}
