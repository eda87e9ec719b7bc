// SPDX-License-Identifier: MIT
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "logic/project.h"
#include "logic/record.h"
#include "logic/simulator.h"
#include "logic/text.h"
#include "test_folder.h"

using namespace station;
namespace fs = std::filesystem;

namespace {

struct TempFolder {
    fs::path path;
    TempFolder() : path(station_test::fresh_folder("station-test")) {}
    ~TempFolder() { fs::remove_all(path); }
    std::string file(const std::string& name) const { return (path / name).string(); }
};

void write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

// A project text that must be refused, and what the refusal must say.
struct Refusal {
    const char* text;
    const char* expected;
};

template <std::size_t N>
void expect_refused(const Refusal (&cases)[N]) {
    for (const Refusal& c : cases) {
        try {
            parse_project(c.text);
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const ProjectError& error) {
            EXPECT_NE(std::string(error.what()).find(c.expected), std::string::npos)
                << "for " << c.text << " got: " << error.what();
        }
    }
}

}  // namespace

TEST(ProjectText, ReadsTitleItemsCommentsAndOptionalUnits) {
    const Project p = parse_project(
        "\xEF\xBB\xBF# a comment\r\n"
        "title:  Amplifier  \r\n"
        "\r\n"
        "Gain left ; +25.5 ; 26.5 ; dB\r\n"
        "  Offset;-0.3;0.3  \r\n"
        "Temperature ; 20 ; 55 ; \xC2\xB0"
        "C\n");
    EXPECT_EQ(p.title, "Amplifier");
    ASSERT_EQ(p.items.size(), 3u);
    EXPECT_EQ(p.items[0].name, "Gain left");
    EXPECT_EQ(p.items[0].lower, 25.5);
    EXPECT_EQ(p.items[0].upper, 26.5);
    EXPECT_EQ(p.items[0].unit, "dB");
    EXPECT_EQ(p.items[1].name, "Offset");
    EXPECT_EQ(p.items[1].lower, -0.3);
    EXPECT_EQ(p.items[1].unit, "");
    EXPECT_EQ(p.items[2].unit,
              "\xC2\xB0"
              "C");
}

TEST(ProjectText, RefusesBadInputNamingTheLine) {
    const Refusal cases[] = {
        {"a ; 1 ; 2 ; V\nb ; x ; 2 ; V\n", "line 2: lower limit \"x\""},
        {"a ; 1 ; 2 ; V\n\n\nb ; 1 ; 2e ; V\n", "line 4: upper limit"},
        {"a ; 3 ; 2 ; V\n", "line 1: lower limit is above"},
        {"a ; 1 ; 2\na ; 1 ; 2\n", "line 2: item \"a\" appears twice"},
        {"a ; 1\n", "line 1: expected"},
        {"a ; 1 ; 2 ; V ; extra\n", "line 1: expected"},
        {" ; 1 ; 2 ; V\n", "line 1: the item has no name"},
        {"a ; nan ; 2\n", "line 1: lower limit"},
        {"a ; 1 ; inf\n", "line 1: upper limit"},
        {"a ; 1 ; 1e999\n", "line 1: upper limit"},
        {"# only a comment\ntitle: empty\n", "no test items"},
        {"", "no test items"},
    };
    expect_refused(cases);
}

TEST(ProjectText, WrittenProjectReadsBackExactly) {
    Project p;
    p.title = "Round trip";
    p.items = {{"Tiny", 1e-9, 3e-9, "A"},
               {"Tenth", 0.1, 0.30000000000000004, ""},
               {"Negative", -1234.5678, -0.001, "mV"},
               {"Equal limits", 5, 5, "V"}};
    const Project back = parse_project(format_project(p));
    EXPECT_EQ(back.title, p.title);
    ASSERT_EQ(back.items.size(), p.items.size());
    for (std::size_t i = 0; i < p.items.size(); ++i) {
        EXPECT_EQ(back.items[i].name, p.items[i].name);
        EXPECT_EQ(back.items[i].lower, p.items[i].lower);
        EXPECT_EQ(back.items[i].upper, p.items[i].upper);
        EXPECT_EQ(back.items[i].unit, p.items[i].unit);
    }
}

TEST(ProjectText, ItemsNameTheirInstrumentAndQuery) {
    const Project p = parse_project(
        "Ripple ; 0 ; 0.1 ; V\n"
        "instrument psu1 = 10.1.2.3\n"
        "Output ; 11.4 ; 12.6 ; V ; psu1 ; MEAS:VOLT:DC? (@1)\n"
        "Ratio ; 0 ; 2 ;  ; dmm1 ; MEAS:VOLT:DC? (@2,3)\n"
        "instrument\tdmm1 = 127.0.0.1:6001\n"
        "instrument load1 = sim\n"
        "instrument meter2\n"
        "Heat ; 20 ; 55 ; C ; meter2 ; meas:temp?\n"
        "instrument offset ; -1 ; 1 ; mV\n");
    ASSERT_EQ(p.items.size(), 5u);
    EXPECT_EQ(p.items[0].instrument, "");
    EXPECT_EQ(p.items[1].instrument, "psu1");
    EXPECT_EQ(p.items[1].query, "MEAS:VOLT:DC? (@1)");
    EXPECT_EQ(p.items[1].unit, "V");
    EXPECT_EQ(p.items[2].unit, "");
    EXPECT_EQ(p.items[2].query, "MEAS:VOLT:DC? (@2,3)");
    // A line with a ';' is an item even when its name begins with the keyword.
    EXPECT_EQ(p.items[4].name, "instrument offset");
    ASSERT_EQ(p.instruments.size(), 4u);
    EXPECT_EQ(p.instrument("psu1")->address, "10.1.2.3:5025");
    EXPECT_EQ(p.instrument("dmm1")->address, "127.0.0.1:6001");
    EXPECT_EQ(p.instrument("load1")->address, "") << "sim is the station's own simulator";
    EXPECT_EQ(p.instrument("meter2")->address, "");
    EXPECT_EQ(p.instrument("nobody"), nullptr);
    EXPECT_TRUE(p.needs_station_simulator());

    // Unused simulated instruments start nothing.
    const Project real = parse_project(
        "instrument psu1 = lab-psu\ninstrument spare = sim\nV ; 1 ; 2 ; V ; psu1 ; MEAS:VOLT?\n");
    EXPECT_FALSE(real.needs_station_simulator());
    EXPECT_FALSE(parse_project("V ; 1 ; 2 ; V\n").needs_station_simulator());
}

TEST(ProjectText, RefusesBadInstrumentLinesNamingTheLine) {
    const Refusal cases[] = {
        {"a ; 1 ; 2 ; V\ninstrument = 1.2.3.4\n", "line 2: the instrument has no name"},
        {"instrument p s = 1.2.3.4\na ; 1 ; 2\n", "line 1: instrument name \"p s\""},
        {"a ; 1 ; 2\n\ninstrument p = host:99999\n", "line 3: instrument address \"host:99999\""},
        {"instrument p = a b\na ; 1 ; 2\n", "line 1: instrument address"},
        {"instrument p\ninstrument p = h\na ; 1 ; 2\n", "line 2: instrument \"p\" appears twice"},
        {"instrument p\na ; 1 ; 2 ; V ; p\n", "line 2: expected"},
        {"instrument p\na ; 1 ; 2 ; V ; p ; MEAS? ; x\n", "line 2: expected"},
        {"instrument p\na ; 1 ; 2 ; V ; p ; MEAS:VOLT\n", "line 2: \"MEAS:VOLT\" is no query"},
        {"instrument p\na ; 1 ; 2 ; V ; p ; \n", "line 2: \"\" is no query"},
        {"a ; 1 ; 2 ; V ;  ; MEAS?\n", "line 1: the query names no instrument"},
        {"# c\na ; 1 ; 2 ; V\nb ; 1 ; 2 ; V ; psu9 ; MEAS?\n",
         "line 3: instrument \"psu9\" is not declared"},
        {"instrument p = h\n", "no test items"},
    };
    expect_refused(cases);
}

TEST(ProjectText, InstrumentsReadBackExactly) {
    Project p;
    p.title = "Bench";
    p.instruments = {{"psu1", "10.0.0.5:5025"}, {"dmm1", ""}};
    p.items = {{"Rail", 4.75, 5.25, "V", "psu1", "MEAS:VOLT:DC? (@1)"},
               {"Unitless", 0, 1, "", "dmm1", "MEAS:CURR:DC? (@2)"},
               {"Simulated", 0, 1, "mV"}};
    const Project back = parse_project(format_project(p));
    ASSERT_EQ(back.instruments.size(), 2u);
    for (std::size_t i = 0; i < p.instruments.size(); ++i) {
        EXPECT_EQ(back.instruments[i].name, p.instruments[i].name);
        EXPECT_EQ(back.instruments[i].address, p.instruments[i].address);
    }
    ASSERT_EQ(back.items.size(), p.items.size());
    for (std::size_t i = 0; i < p.items.size(); ++i) {
        EXPECT_EQ(back.items[i].unit, p.items[i].unit);
        EXPECT_EQ(back.items[i].instrument, p.items[i].instrument);
        EXPECT_EQ(back.items[i].query, p.items[i].query);
    }
}

TEST(ProjectFiles, ShippedSamplesLoad) {
    const auto paths = find_projects(STATION_PROJECTS_DIR);
    ASSERT_GE(paths.size(), 2u);
    for (const std::string& path : paths) {
        const Project p = load_project(path);
        EXPECT_FALSE(p.title.empty()) << path;
        EXPECT_GE(p.items.size(), 3u) << path;
    }
    // At least one sample measures through instruments, on the station's simulator.
    EXPECT_TRUE(std::any_of(paths.begin(), paths.end(), [](const std::string& path) {
        return load_project(path).needs_station_simulator();
    }));
}

TEST(ProjectFiles, FolderListingLoadingAndSaving) {
    TempFolder folder;
    write(folder.file("b.atp"), "x ; 0 ; 1 ; V\n");
    write(folder.file("a.atp"), "y ; 0 ; 1 ; V\n");
    write(folder.file("notes.txt"), "x ; 0 ; 1 ; V\n");
    fs::create_directory(folder.path / "sub.atp");
    const auto paths = find_projects(folder.path.string());
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_EQ(fs::path(paths[0]).filename(), "a.atp");
    EXPECT_EQ(fs::path(paths[1]).filename(), "b.atp");
    EXPECT_TRUE(find_projects(folder.file("missing")).empty());

    // Without a title line the file's name is the title.
    EXPECT_EQ(load_project(paths[0]).title, "a");

    try {
        write(folder.file("bad.atp"), "x ; 0 ; 1\nx ; 0 ; 1\n");
        load_project(folder.file("bad.atp"));
        ADD_FAILURE() << "a duplicate item was accepted";
    } catch (const ProjectError& error) {
        EXPECT_NE(std::string(error.what()).find("bad.atp, line 2"), std::string::npos)
            << error.what();
    }
    EXPECT_THROW(load_project(folder.file("missing.atp")), ProjectError);

    Project p = load_project(paths[1]);
    p.items[0].upper = 2.5;
    save_project(paths[1], p);
    EXPECT_EQ(load_project(paths[1]).items[0].upper, 2.5);
    EXPECT_FALSE(fs::exists(paths[1] + ".part"));

    // A failed save leaves the old file as it was.
    fs::create_directory(paths[1] + ".part");
    EXPECT_THROW(save_project(paths[1], Project{"t", "", {{"z", 0, 9, ""}}}), std::runtime_error);
    EXPECT_EQ(load_project(paths[1]).items[0].name, "x");
}

TEST(Simulation, SameSeedSameReadingsAndCellsDiffer) {
    const TestItem item{"v", 11.4, 12.6, "V"};
    Simulator a(Simulator::seed_for_cell(7, 1)), b(Simulator::seed_for_cell(7, 1));
    Simulator other(Simulator::seed_for_cell(7, 2));
    int differing = 0;
    for (int i = 0; i < 200; ++i) {
        const double value = a.measure(item);
        EXPECT_EQ(value, b.measure(item));
        if (value != other.measure(item)) ++differing;
    }
    EXPECT_GT(differing, 150);
}

TEST(Simulation, ReadingsAreMostlyWithinLimitsAtTheInstrumentsResolution) {
    const TestItem items[] = {{"v", 11.4, 12.6, "V"}, {"r", 0, 0.12, "V"}, {"n", -100, -85, "dBV"}};
    for (const TestItem& item : items) {
        Simulator sim(42);
        int inside = 0;
        const int draws = 2000;
        for (int i = 0; i < draws; ++i) {
            const double value = sim.measure(item);
            if (value >= item.lower && value <= item.upper) ++inside;
            // Never binary noise such as 0.10700000000000001.
            EXPECT_LE(format_number(value).size(), 9u) << format_number(value);
            EXPECT_LT(std::abs(value - (item.lower + item.upper) / 2), (item.upper - item.lower));
        }
        EXPECT_GT(inside, draws * 85 / 100) << item.name;
        EXPECT_LT(inside, draws) << item.name << ": a simulation that never fails tests nothing";
    }
}

// Whatever a project carries ends up in every record, the CSV, the line
// server and the windows: text the store cannot take, or more of it than a
// window can show, is refused at the line it is on.
TEST(ProjectText, RefusesBytesThatAreNotTextAndHostileSizesNamingTheLine) {
    const std::string long_name(kMaxNameLength + 1, 'n');
    const std::string wide_name(kMaxNameLength, '\xe6');  // not even UTF-8
    std::string cjk_name;
    for (std::size_t i = 0; i < kMaxNameLength; ++i) cjk_name += "\xe6\xb5\x8b";  // 200 characters
    const std::pair<std::string, const char*> cases[] = {
        {"a ; 1 ; 2 ; V\nGain \xff ; 1 ; 2 ; dB\n", "line 2: bytes that are not UTF-8 at column 6"},
        {"a ; 1 ; 2 ; m\xc3\n", "line 1: bytes that are not UTF-8 at column 14"},
        {"title: T\xed\xa0\x80x\na ; 1 ; 2\n", "line 1: bytes that are not UTF-8"},
        {std::string("a ; 1 ; 2 ; V\nb", 15) + std::string(1, '\0') + "c ; 1 ; 2\n",
         "line 2: a NUL byte at column 2"},
        {long_name + " ; 1 ; 2 ; V\n", "line 1: the item name is longer than 200 characters"},
        {"a ; 1 ; 2 ; " + std::string(kMaxUnitLength + 1, 'V') + "\n",
         "line 1: the unit is longer than 32 characters"},
        {"title: " + long_name + "\na ; 1 ; 2\n", "line 1: the title is longer than 200"},
        {"instrument " + std::string(65, 'i') + " = sim\na ; 1 ; 2\n",
         "line 1: the instrument name is longer than 64"},
        {"instrument d = sim\na ; 1 ; 2 ; V ; d ; " + std::string(300, 'Q') + "?\n",
         "line 2: the query is longer than 256"},
    };
    for (const auto& [text, expected] : cases) {
        try {
            parse_project(text);
            ADD_FAILURE() << "accepted: " << text.substr(0, 80);
        } catch (const ProjectError& error) {
            EXPECT_NE(std::string(error.what()).find(expected), std::string::npos)
                << "for " << text.substr(0, 80) << " got: " << error.what();
        }
    }
    // The longest name in any script is fine.
    EXPECT_EQ(parse_project(cjk_name + " ; 1 ; 2 ; V\n").items.at(0).name, cjk_name);
    (void)wide_name;

    std::string many;
    for (std::size_t i = 0; i <= kMaxItems; ++i) many += "i" + std::to_string(i) + " ; 0 ; 1\n";
    try {
        parse_project(many);
        ADD_FAILURE() << "accepted " << kMaxItems + 1 << " items";
    } catch (const ProjectError& error) {
        EXPECT_NE(std::string(error.what()).find("line " + std::to_string(kMaxItems + 1) +
                                                 ": a project has at most"),
                  std::string::npos)
            << error.what();
    }

    // A 10 MB item name: refused by its size before it is read.
    TempFolder folder;
    const std::string huge = folder.file("huge.atp");
    {
        std::ofstream out(huge);
        out << "title: Huge\n" << std::string(10 << 20, 'x') << " ; 1 ; 2 ; V\n";
    }
    try {
        load_project(huge);
        ADD_FAILURE() << "a 10 MB project was loaded";
    } catch (const ProjectError& error) {
        EXPECT_NE(std::string(error.what()).find("huge.atp"), std::string::npos) << error.what();
        EXPECT_NE(std::string(error.what()).find("at most 1024 KB"), std::string::npos)
            << error.what();
    }
    EXPECT_THROW(load_project(folder.path.string()), ProjectError);
}

// Records name the project by a hash of its text: the same file always
// gives the same hash, a changed limit another, and an edited project the
// hash of the file it would be saved as.
TEST(ProjectFiles, HashFollowsTheProjectsText) {
    TempFolder folder;
    const std::string path = folder.file("board.atp");
    write(path, "title: Board\nSupply ; 4.75 ; 5.25 ; V\n");
    const Project first = load_project(path);
    EXPECT_EQ(first.hash.rfind("sha256:", 0), 0u) << first.hash;
    EXPECT_EQ(first.hash.size(), 7u + 64u);
    EXPECT_EQ(load_project(path).hash, first.hash);
    EXPECT_EQ(first.hash, project_hash("title: Board\nSupply ; 4.75 ; 5.25 ; V\n"));
    // A known value, so that another station computes the same.
    EXPECT_EQ(project_hash("abc"),
              "sha256:ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    write(path, "title: Board\nSupply ; 4.75 ; 5.26 ; V\n");
    EXPECT_NE(load_project(path).hash, first.hash);

    Project edited = first;
    edited.items[0].upper = 5.5;
    edited.hash = project_hash(format_project(edited));
    save_project(path, edited);
    EXPECT_EQ(load_project(path).hash, edited.hash);
}
