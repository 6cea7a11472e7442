#include "replay_run.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'') q += "'\\''";
        else q += c;
    }
    return q + "'";
}

int Run(const std::string& command, std::string* out) {
    FILE* p = popen(command.c_str(), "r");
    if (!p) return -1;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out->append(buf, n);
    int status = pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

}  // namespace

bool ReplayOutcome::Has(const std::string& line) const { return Find(line) >= 0; }

bool ReplayOutcome::HasPrefix(const std::string& prefix) const {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
}

int ReplayOutcome::Find(const std::string& line, int from) const {
    for (size_t i = static_cast<size_t>(std::max(from, 0)); i < lines.size(); ++i)
        if (lines[i] == line) return static_cast<int>(i);
    return -1;
}

std::string ReplayOutcome::All() const {
    std::string s;
    for (const auto& l : lines) s += l + "\n";
    return s + "stderr: " + err;
}

FreshMachineFolder::FreshMachineFolder() {
    char pattern[] = "/tmp/drovan-closing-test-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
    m_root = pattern;
    m_machine = m_root / "machine";
    fs::create_directories(m_machine);
}

FreshMachineFolder::~FreshMachineFolder() {
    std::error_code ec;
    fs::remove_all(m_root, ec);
}

ReplayOutcome FreshMachineFolder::Play(const std::string& script) const {
    const fs::path scriptFile = m_root / "script.txt";
    const fs::path errFile = m_root / "stderr.txt";
    { std::ofstream(scriptFile) << script; }
    // The print UI beside the program is the one run, and the log stays off as in the
    // product.
    std::string command = "cd " + Quote(DROVAN_BIN_DIR) +
                          " && env -u DROVAN_PRINTUI -u DROVAN_REPLAY_LOG -u DROVAN_MACHINE timeout 120 " +
                          Quote(DROVAN_REPLAY) + " --machine " + Quote(m_machine.string()) + " " +
                          Quote(scriptFile.string()) + " 2>" + Quote(errFile.string());
    ReplayOutcome r;
    std::string out;
    r.exitCode = Run(command, &out);
    r.lines = Lines(out);
    std::ifstream e(errFile);
    r.err.assign(std::istreambuf_iterator<char>(e), std::istreambuf_iterator<char>());
    return r;
}

int FreshMachineFolder::Tool(const std::string& arguments, std::string* out) const {
    return Run(Quote(DROVAN_MACHINE_TOOL) + " --machine " + Quote(m_machine.string()) + " " + arguments +
                   " 2>&1",
               out);
}

std::vector<MachineEvent> FreshMachineFolder::Events() const {
    // Each event is a header line (number, time, level, source, code, two spaces apart),
    // then its message and its command line, each indented by four spaces.
    std::string out;
    if (Tool("events", &out) != 0) throw std::runtime_error("drovan-machine events failed: " + out);
    std::vector<MachineEvent> events;
    const auto lines = Lines(out);
    for (size_t i = 0; i + 2 < lines.size(); ++i) {
        const std::string& header = lines[i];
        if (header.empty() || header[0] == ' ') continue;
        std::vector<std::string> fields;
        for (size_t at = 0; at != std::string::npos;) {
            size_t next = header.find("  ", at);
            fields.push_back(header.substr(at, next == std::string::npos ? next : next - at));
            at = next == std::string::npos ? next : next + 2;
        }
        if (fields.size() < 5) continue;
        MachineEvent e;
        e.level = fields[2];
        e.source = fields[3];
        e.message = lines[i + 1].rfind("    ", 0) == 0 ? lines[i + 1].substr(4) : lines[i + 1];
        e.commandLine = lines[i + 2].rfind("    ", 0) == 0 ? lines[i + 2].substr(4) : lines[i + 2];
        events.push_back(e);
        i += 2;
    }
    return events;
}
