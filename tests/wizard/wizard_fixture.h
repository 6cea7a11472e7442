// The wizard as its user meets it: a fresh simulated machine per test, the real program
// run headless by drovan-replay with a script, its transcript read back, and the machine
// inspected afterwards with drovan-machine --json.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "json.h"

// One control (or the dialog itself) of a `dump` block.
struct ControlState {
    int id = 0;
    std::string kind;
    bool visible = false;
    bool enabled = false;
    int checked = 0;
    std::string text;
    int sel = -1;
    std::vector<std::string> items;
    std::string range;  // "LO..HI"
    int pos = 0;
    int step = 0;
    bool topmost = false;
    bool closebox = false;
    // The selected item's text, or "" with no selection.
    std::string Selected() const {
        return sel >= 0 && static_cast<size_t>(sel) < items.size() ? items[sel] : std::string();
    }
};

struct Dump {
    int dialog = 0;
    ControlState self;
    std::map<int, ControlState> controls;
    const ControlState& operator[](int id) const;
};

struct MessageBoxLine {
    std::string owner;  // a dialog ID, or "none"
    std::string icon;
    std::string caption;
    std::string text;
    std::string button;
};

struct Transcript {
    std::vector<std::string> lines;
    std::vector<Dump> dumps;
    std::vector<MessageBoxLine> msgboxes;
    std::vector<std::string> logs;  // the texts of `log "…"` lines, in order
    int exitCode = -1;              // from the transcript's `exit N`
    int status = -1;                // the replay process's own exit status
    std::string errors;             // its standard error

    static Transcript Parse(const std::string& out);
    // Index of the first line at or after `from` that begins with prefix, or -1.
    int Find(const std::string& prefix, int from = 0) const;
    bool Has(const std::string& prefix) const { return Find(prefix) >= 0; }
    int Count(const std::string& prefix) const;
    // Index of the first log line containing part, or -1.
    int FindLog(const std::string& part, int from = 0) const;
};

struct ReplayOptions {
    // The replay's working directory, where the program looks for its licence texts;
    // empty: the build's bin folder, beside the licence texts and driver packages.
    std::filesystem::path cwd;
    // Another program folder (a copy of drovan-replay with its packages).
    std::filesystem::path programDir;
    bool log = false;
    // The program's own command line (drovan-replay's arguments after --).
    std::vector<std::string> programArgs;
};

class WizardTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A new machine: language, architecture (x86, x64, ia64, arm64).
    void InitMachine(int lang, const std::string& arch = "x64");

    Transcript Replay(const std::string& script, const ReplayOptions& options = {});
    Transcript ReplayWithLog(const std::string& script) {
        ReplayOptions o;
        o.log = true;
        return Replay(script, o);
    }

    // drovan-machine VERB... on this test's machine; the exit status in *status.
    std::string Machine(const std::vector<std::string>& args, int* status = nullptr);
    Json MachineJson(const std::vector<std::string>& args);
    // Fails the test when drovan-machine does.
    void MachineOk(const std::vector<std::string>& args);

    // A driver of that name whose one file the test writes itself (so that it does not
    // hang on the names of the shipped packages' files).
    void AddDriver(const std::string& name);
    void AddPrinter(const std::string& name, const std::string& driver, const std::string& port);

    Json Printers() { return MachineJson({"printers"}); }
    Json Drivers() { return MachineJson({"drivers"}); }
    std::string DefaultPrinter();
    // The data of a value under HKLM\...\CurrentVersion\Ports, or nullopt.
    std::optional<std::string> PortsValue(const std::string& name);

    // Drive C: of the machine on the host; a Windows path C:\a\b is DriveC() / "a/b".
    std::filesystem::path DriveC() const { return m_machine / "drive_c"; }
    // Where a Windows path on drive C: lies on the host.
    std::filesystem::path HostPathOf(const std::string& windowsPath) const;
    std::optional<std::string> ReadHostFile(const std::filesystem::path& p) const;

    // A working directory of this test's own, holding the licence texts unless told not.
    std::filesystem::path MakeWorkDir(bool withLicences);
    // A program folder of this test's own: drovan-replay and the print UI beside copies of
    // the driver packages, so that a test may break a package without touching the build.
    // dir: that folder (made with its parents) instead of a new one below the test's own.
    std::filesystem::path MakeProgramDir(const std::filesystem::path& dir = {});

    std::filesystem::path m_root;     // everything this test made
    std::filesystem::path m_machine;  // the machine folder
    int m_scripts = 0;
};

// The lines of a script that accept the licence and reach the port page.
extern const char kToPortPage[];
// The end of a successful installation: the wizard ends, and the closing dialog that
// follows it is dismissed.
extern const char kSuccessEnd[];

// Runs a shell command, capturing standard output (and standard error in *err).
int RunShell(const std::string& command, std::string* out, std::string* err = nullptr);
std::string ShellQuote(const std::string& s);
