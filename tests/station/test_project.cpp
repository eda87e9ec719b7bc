// SPDX-License-Identifier: MIT
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

#include "logic/project.h"
#include "logic/simulator.h"
#include "logic/text.h"

using namespace station;
namespace fs = std::filesystem;

namespace {

struct TempFolder {
    fs::path path;
    TempFolder() {
        path = fs::temp_directory_path() /
               ("station-test-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempFolder() { fs::remove_all(path); }
    std::string file(const std::string& name) const { return (path / name).string(); }
};

void write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

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
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
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
    for (const auto& c : cases) {
        try {
            parse_project(c.text);
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const ProjectError& error) {
            EXPECT_NE(std::string(error.what()).find(c.expected), std::string::npos)
                << "for " << c.text << " got: " << error.what();
        }
    }
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

TEST(ProjectFiles, ShippedSamplesLoad) {
    const auto paths = find_projects(STATION_PROJECTS_DIR);
    ASSERT_GE(paths.size(), 2u);
    for (const std::string& path : paths) {
        const Project p = load_project(path);
        EXPECT_FALSE(p.title.empty()) << path;
        EXPECT_GE(p.items.size(), 3u) << path;
    }
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
    EXPECT_THROW(save_project(paths[1], Project{"t", {{"z", 0, 9, ""}}}), std::runtime_error);
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
