// A driver package of our own with as many files as a test or a benchmark wants: an ANSI
// INF for x64 whose model takes the universal driver from the system's INF and brings a
// GPD and `count` files of its own, some of them large. Each file's content names the
// package's edition, so that a test can tell an old driver's files from a new one's.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

struct BulkPackage {
    std::string model = "Bulk Printer";  // the model's name in the INF
    std::string inf = "Bulk.inf";        // the INF's file name
    size_t count = 100;                  // files besides the GPD
    size_t large = 0;                    // how many of them are large
    size_t largeBytes = 4 << 20;
    std::string edition = "1";           // written into every file
    bool withFiles = true;               // false: only the INF, its files absent
    bool renameFirst = false;            // the first file lies in the package as SourceName(0)

    // Writes the INF (and the files) into folder; the files' times are now, so that an
    // edition written later is newer than the one before.
    void Write(const std::filesystem::path& folder) const;
    // The name of the i-th file, and what it holds in this edition.
    static std::string FileName(size_t i);
    static std::string SourceName(size_t i) { return "src-" + FileName(i); }
    std::string Content(size_t i) const;
    std::string GpdName() const { return "bulk.gpd"; }
};
