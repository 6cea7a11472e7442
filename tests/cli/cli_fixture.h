// The program as an administrator's deployment tool runs it: drovan with a command line on
// a fresh simulated machine, without a display, its exit code and standard streams kept.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "wizard_fixture.h"

struct ProgramRun {
    int status = -1;  // the exit code
    std::string out;  // standard output
    std::string err;  // standard error
    // The lines of standard output and error together, for messages in either.
    std::string Both() const { return out + err; }
};

struct ProgramOptions {
    std::filesystem::path cwd;         // empty: the build's bin folder (licence texts there)
    std::filesystem::path programDir;  // a folder holding its own drovan (MakeCliProgramDir)
    std::string machine;               // empty: the test's machine
};

class CliTest : public WizardTest {
protected:
    // drovan --machine M ARGS..., the machine clock sped up tenfold.
    ProgramRun Drovan(const std::vector<std::string>& args, const ProgramOptions& options = {});
    // The wizard run by drovan-replay with a script, given the program's command line.
    Transcript ReplayWithArguments(const std::string& script, const std::vector<std::string>& args);
    // MakeProgramDir with drovan beside drovan-replay.
    std::filesystem::path MakeCliProgramDir();
    // A path below this test's own folder.
    std::filesystem::path File(const std::string& name) const { return m_root / name; }
};

std::string ReadText(const std::filesystem::path& p);
// The program's folder as the program sees it (Z:\...\bin\).
std::string AppDir();
std::vector<std::string> Lines(const std::string& text);  // CR LF or LF

// Everything a machine holds: its registry and settings (machine.db, every row of every
// table, in order) and its drive C: (every file's path, size and content).
std::string MachineSnapshot(const std::filesystem::path& machineFolder);
