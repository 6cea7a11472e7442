#include "wizard_fixture.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

const char kToPortPage[] = "click 1001\nclick 3\nclick 3\n";
const char kSuccessEnd[] = "wait-close 30000\nkey escape\n";

namespace {

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// key=value pairs of a dump or msgbox line; values are tokens, JSON strings or arrays.
std::map<std::string, std::string> Attributes(const std::string& line, size_t from,
                                              std::map<std::string, std::vector<std::string>>* lists) {
    std::map<std::string, std::string> attrs;
    size_t i = from;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ') ++i;
        size_t eq = line.find('=', i);
        if (eq == std::string::npos) break;
        std::string key = line.substr(i, eq - i);
        i = eq + 1;
        if (i < line.size() && line[i] == '"') {
            std::string value;
            if (!DecodeJsonString(line, &i, &value)) break;
            attrs[key] = value;
        } else if (i < line.size() && line[i] == '[') {
            ++i;
            std::vector<std::string> items;
            while (i < line.size() && line[i] != ']') {
                std::string item;
                if (!DecodeJsonString(line, &i, &item)) return attrs;
                items.push_back(item);
                if (i < line.size() && line[i] == ',') ++i;
            }
            ++i;
            if (lists) (*lists)[key] = items;
            attrs[key] = "";
        } else {
            size_t end = line.find(' ', i);
            if (end == std::string::npos) end = line.size();
            attrs[key] = line.substr(i, end - i);
            i = end;
        }
    }
    return attrs;
}

ControlState ParseControl(const std::string& line) {
    ControlState c;
    std::istringstream s(line);
    s >> c.id >> c.kind;
    size_t start = line.find(c.kind) + c.kind.size();
    std::map<std::string, std::vector<std::string>> lists;
    auto a = Attributes(line, start, &lists);
    c.visible = a["visible"] == "1";
    c.enabled = a["enabled"] == "1";
    c.checked = std::atoi(a["checked"].c_str());
    c.text = a["text"];
    c.sel = a.count("sel") ? std::atoi(a["sel"].c_str()) : -1;
    c.items = lists["items"];
    c.range = a["range"];
    c.pos = std::atoi(a["pos"].c_str());
    c.step = std::atoi(a["step"].c_str());
    c.topmost = a["topmost"] == "1";
    c.closebox = a["closebox"] == "1";
    return c;
}

}  // namespace

const ControlState& Dump::operator[](int id) const {
    static const ControlState kMissing;
    auto it = controls.find(id);
    if (it == controls.end()) {
        ADD_FAILURE() << "control " << id << " is not in the dump";
        return kMissing;
    }
    return it->second;
}

Transcript Transcript::Parse(const std::string& out) {
    Transcript t;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) t.lines.push_back(line);
    for (size_t i = 0; i < t.lines.size(); ++i) {
        const std::string& l = t.lines[i];
        if (l.rfind("dump ", 0) == 0) {
            Dump d;
            d.dialog = std::atoi(l.c_str() + 5);
            size_t j = i + 1;
            if (j < t.lines.size() && t.lines[j].rfind("  ", 0) == 0) d.self = ParseControl(t.lines[j++].substr(2));
            for (; j < t.lines.size() && t.lines[j].rfind("  ", 0) == 0; ++j) {
                ControlState c = ParseControl(t.lines[j].substr(2));
                d.controls[c.id] = c;
            }
            t.dumps.push_back(d);
        } else if (l.rfind("msgbox ", 0) == 0) {
            MessageBoxLine m;
            size_t arrow = l.rfind(" -> ");
            auto a = Attributes(l.substr(0, arrow), 7, nullptr);
            m.owner = a["owner"];
            m.icon = a["icon"];
            m.caption = a["caption"];
            m.text = a["text"];
            if (arrow != std::string::npos) {
                m.button = l.substr(arrow + 4);
                size_t sp = m.button.find(' ');
                if (sp != std::string::npos) m.button.resize(sp);
            }
            t.msgboxes.push_back(m);
        } else if (l.rfind("log ", 0) == 0) {
            size_t p = 4;
            std::string text;
            if (DecodeJsonString(l, &p, &text)) t.logs.push_back(text);
        } else if (l.rfind("exit ", 0) == 0) {
            t.exitCode = std::atoi(l.c_str() + 5);
        }
    }
    return t;
}

int Transcript::Find(const std::string& prefix, int from) const {
    for (size_t i = from < 0 ? 0 : static_cast<size_t>(from); i < lines.size(); ++i)
        if (lines[i].rfind(prefix, 0) == 0) return static_cast<int>(i);
    return -1;
}

int Transcript::Count(const std::string& prefix) const {
    int n = 0;
    for (const auto& l : lines) n += l.rfind(prefix, 0) == 0;
    return n;
}

int Transcript::FindLog(const std::string& part, int from) const {
    for (size_t i = from < 0 ? 0 : static_cast<size_t>(from); i < logs.size(); ++i)
        if (logs[i].find(part) != std::string::npos) return static_cast<int>(i);
    return -1;
}

std::string ShellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'') q += "'\\''";
        else q += c;
    }
    return q + "'";
}

int RunShell(const std::string& command, std::string* out, std::string* err) {
    char pattern[] = "/tmp/drovan-wizard-err-XXXXXX";
    int fd = mkstemp(pattern);
    if (fd >= 0) close(fd);
    std::string full = command + " 2>" + ShellQuote(pattern);
    FILE* p = popen(full.c_str(), "r");
    if (!p) return -1;
    char buf[8192];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out->append(buf, n);
    int status = pclose(p);
    if (err) *err = ReadAll(pattern);
    unlink(pattern);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void WizardTest::SetUp() {
    std::error_code ec;
    fs::create_directories(WIZARD_SCRATCH_DIR, ec);
    std::string pattern = std::string(WIZARD_SCRATCH_DIR) + "/test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    m_root = pattern;
    m_machine = m_root / "machine";
    InitMachine(1033, "x64");
}

void WizardTest::TearDown() {
    // A failed test keeps its folder for a look at the machine.
    if (HasFailure()) {
        std::fprintf(stderr, "wizard test folder kept: %s\n", m_root.c_str());
        return;
    }
    std::error_code ec;
    fs::remove_all(m_root, ec);
}

void WizardTest::InitMachine(int lang, const std::string& arch) {
    std::error_code ec;
    fs::remove_all(m_machine, ec);
    MachineOk({"init", "--lang", std::to_string(lang), "--arch", arch});
}

std::string WizardTest::Machine(const std::vector<std::string>& args, int* status) {
    std::string cmd = ShellQuote(DROVAN_MACHINE_TOOL) + " --machine " + ShellQuote(m_machine.string());
    for (const auto& a : args) cmd += " " + ShellQuote(a);
    std::string out, err;
    int rc = RunShell(cmd, &out, &err);
    if (status) *status = rc;
    return out + err;
}

void WizardTest::MachineOk(const std::vector<std::string>& args) {
    int status = -1;
    std::string out = Machine(args, &status);
    ASSERT_EQ(status, 0) << "drovan-machine " << (args.empty() ? "" : args[0]) << ": " << out;
}

Json WizardTest::MachineJson(const std::vector<std::string>& args) {
    std::vector<std::string> all{"--json"};
    all.insert(all.end(), args.begin(), args.end());
    std::string cmd = ShellQuote(DROVAN_MACHINE_TOOL) + " --machine " + ShellQuote(m_machine.string());
    for (const auto& a : all) cmd += " " + ShellQuote(a);
    std::string out, err;
    int rc = RunShell(cmd, &out, &err);
    EXPECT_EQ(rc, 0) << err;
    Json j = Json::Parse(out);
    EXPECT_TRUE(j.ok()) << "not JSON: " << out;
    return j;
}

std::string WizardTest::DefaultPrinter() {
    Json j = MachineJson({"default"});
    return j["default"].kind() == Json::Kind::String ? j["default"].AsString() : std::string();
}

std::optional<std::string> WizardTest::PortsValue(const std::string& name) {
    Json j = MachineJson({"reg", "query", "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports"});
    for (const auto& v : j["values"].Items())
        if (v["name"].AsString() == name) return v["data"].AsString();
    return std::nullopt;
}

void WizardTest::AddDriver(const std::string& name) {
    fs::path file = m_root / ("driver" + std::to_string(++m_scripts) + ".dll");
    {
        std::ofstream out(file, std::ios::binary);
        out << "driver file of " << name << "\r\n";
    }
    MachineOk({"driver", "add", name, "--file", file.string()});
}

void WizardTest::AddPrinter(const std::string& name, const std::string& driver, const std::string& port) {
    MachineOk({"printer", "add", name, "--driver", driver, "--port", port});
}

fs::path WizardTest::HostPathOf(const std::string& windowsPath) const {
    std::string rest = windowsPath.size() > 3 ? windowsPath.substr(3) : std::string();
    for (char& c : rest)
        if (c == '\\') c = '/';
    return DriveC() / rest;
}

std::optional<std::string> WizardTest::ReadHostFile(const fs::path& p) const {
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(p, ec)) || fs::is_directory(p, ec)) return std::nullopt;
    return ReadAll(p);
}

fs::path WizardTest::MakeWorkDir(bool withLicences) {
    fs::path dir = m_root / ("work" + std::to_string(++m_scripts));
    fs::create_directories(dir);
    if (withLicences) {
        for (const char* name : {"ReadMe_cn.txt", "ReadMe_en.txt"})
            fs::copy_file(fs::path(DROVAN_BIN_DIR) / name, dir / name);
    }
    return dir;
}

fs::path WizardTest::MakeProgramDir(const fs::path& in) {
    fs::path dir = in.empty() ? m_root / ("program" + std::to_string(++m_scripts)) : in;
    fs::create_directories(dir);
    for (const auto& entry : fs::directory_iterator(DROVAN_BIN_DIR)) {
        if (!entry.is_regular_file()) continue;
        const fs::path& from = entry.path();
        bool program = from == fs::path(DROVAN_REPLAY) || from == fs::path(DROVAN_PRINTUI_TOOL);
        std::string ext = from.extension().string();
        bool package = ext == ".inf" || ext == ".gpd" || ext == ".dll" || ext == ".dat" || ext == ".hlp" ||
                       ext == ".ini" || ext == ".txt";
        if (!program && !package) continue;
        std::error_code ec;
        // The programs are large: a second name is enough (the executable's own folder is
        // what the program takes for its directory), a copy when links are not possible.
        if (program) fs::create_hard_link(from, dir / from.filename(), ec);
        if (!program || ec) fs::copy_file(from, dir / from.filename());
    }
    return dir;
}

Transcript WizardTest::Replay(const std::string& script, const ReplayOptions& options) {
    fs::path scriptFile = m_root / ("script" + std::to_string(++m_scripts) + ".txt");
    {
        std::ofstream s(scriptFile, std::ios::binary);
        s << script;
    }
    fs::path cwd = options.cwd.empty() ? fs::path(DROVAN_BIN_DIR) : options.cwd;
    fs::path replay = options.programDir.empty() ? fs::path(DROVAN_REPLAY)
                                                 : options.programDir / fs::path(DROVAN_REPLAY).filename();
    // DROVAN_PRINTUI is cleared so that the print UI beside the program is the one run.
    std::string cmd = "cd " + ShellQuote(cwd.string()) + " && env -u DROVAN_PRINTUI -u DROVAN_REPLAY_LOG timeout 60 " +
                      ShellQuote(replay.string()) + " --machine " + ShellQuote(m_machine.string()) +
                      (options.log ? " --log " : " ") + ShellQuote(scriptFile.string());
    if (!options.programArgs.empty()) cmd += " --";
    for (const auto& a : options.programArgs) cmd += " " + ShellQuote(a);
    std::string out, err;
    int status = RunShell(cmd, &out, &err);
    Transcript t = Transcript::Parse(out);
    t.status = status;
    t.errors = err;
    return t;
}
