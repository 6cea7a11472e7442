// What the crash and race tests check on a machine after its processes were killed or ran
// at once: the machine reopened as the next process opens it (which finishes or undoes
// what the dead left), then its driver records held against the files of the x64 driver
// directory.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "bulk_package.h"

struct MachineAudit {
    std::vector<std::string> inconsistencies;  // a record without its files, mixed editions...
    std::vector<std::string> litter;           // staged copies, scratch folders, orphans, journal rows
    std::set<std::string> drivers;             // driver names (x64)
    std::set<std::string> printers;            // printer names
    std::map<std::string, std::string> driverOf;  // printer -> driver
    // The edition of the bulk package's files in the driver directory, when they all have
    // one ("" when the bulk driver is absent).
    std::string bulkEdition;

    std::string Report() const;
};

// Reopens the machine folder as a new process would, then audits it. baseline: names of
// the driver directory's files on the fresh machine (no record needs to name them).
MachineAudit AuditMachine(const std::filesystem::path& machineFolder, const BulkPackage& bulk,
                          const std::set<std::string>& baseline);

// The file names of the x64 driver directory (its version folder 3).
std::set<std::string> DriverDirNames(const std::filesystem::path& machineFolder);

// A program run as its own process on the machine, optionally told to die at a crash point
// (DROVAN_SIM_CRASH) or killed from outside after a delay.
struct RunResult {
    bool killed = false;  // ended by SIGKILL, from inside or outside
    int exitCode = -1;    // when it exited by itself
    bool Ok() const { return !killed && exitCode == 0; }
};
pid_t StartProgram(const std::vector<std::string>& argv, const std::filesystem::path& machineFolder,
                   const std::string& crashPoint = {}, const std::filesystem::path& cwd = {});
RunResult WaitProgram(pid_t pid);
RunResult RunProgram(const std::vector<std::string>& argv, const std::filesystem::path& machineFolder,
                     const std::string& crashPoint = {}, const std::filesystem::path& cwd = {});
