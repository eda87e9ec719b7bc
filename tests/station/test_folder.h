// SPDX-License-Identifier: MIT
#pragma once

// A folder of the running test's own, and a small test project in it.

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

namespace station_test {

// Empty and named after the process and the test: suites run in several
// locales at once, each in its own process.
inline std::filesystem::path fresh_folder(const std::string& prefix) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() /
                            (prefix + "-" + std::to_string(::getpid()) + "-" +
                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

// Three items every project of these tests starts with.
inline const char* const kBoardItems =
    "Supply ; 4.75 ; 5.25 ; V\n"
    "Current ; 10 ; 90 ; mA\n"
    "Gain ; 25 ; 27 ; dB\n";

// Writes folder/board.atp and returns its path.
inline std::string write_board(const std::filesystem::path& folder, const std::string& title,
                               const std::string& more_items = "") {
    const std::string path = (folder / "board.atp").string();
    std::ofstream(path) << "title: " << title << "\n" << kBoardItems << more_items;
    return path;
}

}  // namespace station_test
