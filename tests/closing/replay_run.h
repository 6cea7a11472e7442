// One run of the real program through drovan-replay on a fresh machine of its own, in the
// build's bin folder (beside the licence texts, the driver packages and the print UI).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct ReplayOutcome {
    int exitCode = -1;
    std::vector<std::string> lines;  // the transcript
    std::string err;

    bool Has(const std::string& line) const;
    bool HasPrefix(const std::string& prefix) const;
    // Index of the first line equal to `line` at or after `from`, or -1.
    int Find(const std::string& line, int from = 0) const;
    std::string All() const;
};

// An event of the machine's event log, as `drovan-machine events` lists it.
struct MachineEvent {
    std::string source;
    std::string level;
    std::string message;
    std::string commandLine;
};

class FreshMachineFolder {
public:
    FreshMachineFolder();
    ~FreshMachineFolder();
    FreshMachineFolder(const FreshMachineFolder&) = delete;
    FreshMachineFolder& operator=(const FreshMachineFolder&) = delete;

    const std::filesystem::path& Machine() const { return m_machine; }
    ReplayOutcome Play(const std::string& script) const;
    // drovan-machine on this machine; its exit code, its output in *out.
    int Tool(const std::string& arguments, std::string* out) const;
    std::vector<MachineEvent> Events() const;

private:
    std::filesystem::path m_root;
    std::filesystem::path m_machine;
};
