// The spooler at scale. Machines of 100, 1,000 and 10,000 printers (and one of 1,000
// ports) are made by importing a registry file, then timed side by side:
//
//   EnumPrintersW level 2, size call and fill call: the first pair in a process (cold: a
//     new process, or the first look after another process changed the machine) and the
//     pairs after it (warm);
//   EnumPortsW/EnumPortsA level 2, as the port list is filled;
//   the calls of the wizard's count of installed printers (local and connections);
//   the print UI installing a printer, as its own process;
//   the wizard from start to the installed-driver dialog (drovan-replay, real time);
//   the machine-clock tick on which an installation's outcome shows (drovan-replay).
//
// Run from the build's bin folder (the replays need the driver packages beside them):
//   cd build/linux/bin && ./bench_spooler [--sizes 100,1000,10000] [--runs N] [--fill direct]
// --fill direct writes the printers through the registry API in one transaction instead
// of `drovan-machine reg import`.
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/sim/machine.h"
#include "platform/sim/text.h"
#include "platform/win32.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const char kModel[] = "QB410 Printer";
const char kOtherDriver[] = "Generic Text";

std::string g_bin;  // the folder of this program, where the tools are

double Micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

// Wall time and the processor time spent for it: the machine this runs on is shared, and
// processor time tells the work apart from the waiting for a core.
struct Cost {
    double wall = 0, cpu = 0;
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

Cost Median(const std::vector<Cost>& v) {
    std::vector<double> wall, cpu;
    for (const auto& c : v) wall.push_back(c.wall), cpu.push_back(c.cpu);
    return {Median(wall), Median(cpu)};
}

double ThreadCpuMicros() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e6 + ts.tv_nsec / 1e3;
}

double ChildrenCpuMicros() {
    rusage ru{};
    getrusage(RUSAGE_CHILDREN, &ru);
    return (ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1e6 + ru.ru_utime.tv_usec + ru.ru_stime.tv_usec;
}

// Microseconds of call() in this thread.
Cost Measure(const std::function<void()>& call) {
    double cpu = ThreadCpuMicros();
    auto t0 = Clock::now();
    call();
    return {Micros(Clock::now() - t0), ThreadCpuMicros() - cpu};
}

// Runs a shell command; its standard output, and the exit status in *status.
std::string Run(const std::string& command, int* status = nullptr) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int s = pclose(p);
    if (status) *status = WIFEXITED(s) ? WEXITSTATUS(s) : -1;
    return out;
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

// ---- Machines --------------------------------------------------------------------------

// One registry key and its values, the way the spooler writes a printer or a driver.
struct Value {
    std::string name;
    DWORD type;
    std::string text;  // REG_SZ
    DWORD number = 0;  // REG_DWORD
};
struct Key {
    std::string path;  // below HKEY_LOCAL_MACHINE
    std::vector<Value> values;
};

const std::string kPrint = "SYSTEM\\CurrentControlSet\\Control\\Print";

Key DriverKey(const std::string& name) {
    return {kPrint + "\\Environments\\Windows x64\\Drivers\\Version-3\\" + name,
            {{"Version", REG_DWORD, "", 3},
             {"Driver", REG_SZ, "UNIDRV.DLL"},
             {"Data File", REG_SZ, "bench.gpd"},
             {"Configuration File", REG_SZ, "UNIDRVUI.DLL"},
             {"Help File", REG_SZ, "UNIDRV.HLP"},
             {"Monitor", REG_SZ, ""},
             {"Datatype", REG_SZ, "RAW"}}};
}

std::vector<Key> PrinterKeys(const std::string& name, const std::string& driver, const std::string& port) {
    std::string path = kPrint + "\\Printers\\" + name;
    return {{path,
             {{"Name", REG_SZ, name},
              {"Share Name", REG_SZ, ""},
              {"Port", REG_SZ, port},
              {"Printer Driver", REG_SZ, driver},
              {"Description", REG_SZ, "Till printer"},
              {"Location", REG_SZ, "Shop floor"},
              {"Separator File", REG_SZ, ""},
              {"Print Processor", REG_SZ, "winprint"},
              {"Datatype", REG_SZ, "RAW"},
              {"Parameters", REG_SZ, ""},
              {"Attributes", REG_DWORD, "", PRINTER_ATTRIBUTE_LOCAL},
              {"Priority", REG_DWORD, "", 1},
              {"Default Priority", REG_DWORD, "", 0},
              {"StartTime", REG_DWORD, "", 0},
              {"UntilTime", REG_DWORD, "", 0},
              {"Status", REG_DWORD, "", 0}}},
            {path + "\\Jobs", {}}};
}

// The model's printer and driver (so the wizard finds one printer of the model), another
// driver, printers - 1 more printers of it, and ports extra local ports.
std::vector<Key> MachineContent(int printers, int ports) {
    std::vector<Key> keys = {DriverKey(kModel), DriverKey(kOtherDriver)};
    auto add = [&](std::vector<Key> more) { keys.insert(keys.end(), more.begin(), more.end()); };
    if (printers > 0) add(PrinterKeys(kModel, kModel, "LPT1:"));
    const char* portNames[] = {"LPT1:", "LPT2:", "COM1:", "COM2:", "FILE:"};
    for (int i = 1; i < printers; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "Till %05d", i);
        add(PrinterKeys(name, kOtherDriver, portNames[i % 5]));
    }
    if (ports > 0) {
        Key k{"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports", {}};
        for (int i = 0; i < ports; ++i) k.values.push_back({"KLCOM" + std::to_string(i + 10) + ":", REG_SZ, "9600,n,8,1"});
        keys.push_back(k);
    }
    return keys;
}

// The content as a registry file in the Unicode format.
void WriteRegFile(const fs::path& file, const std::vector<Key>& keys) {
    std::ostringstream text;
    text << "Windows Registry Editor Version 5.00\r\n";
    char buf[32];
    for (const auto& k : keys) {
        text << "\r\n[HKEY_LOCAL_MACHINE\\" << k.path << "]\r\n";
        for (const auto& v : k.values) {
            text << '"' << v.name << "\"=";
            if (v.type == REG_DWORD) {
                std::snprintf(buf, sizeof buf, "dword:%08x", v.number);
                text << buf << "\r\n";
            } else {
                text << '"' << v.text << "\"\r\n";
            }
        }
    }
    text << "\r\n";
    std::u16string wide = sim::ToUtf16(text.str());
    std::ofstream out(file, std::ios::binary);
    out.write("\xFF\xFE", 2);
    out.write(reinterpret_cast<const char*>(wide.data()), static_cast<std::streamsize>(wide.size() * 2));
}

// The same content through the registry API, in one transaction of the machine's store.
void WriteDirect(const std::vector<Key>& keys) {
    auto& db = sim::CurrentMachine().Db();
    db.Write([&] {
        for (const auto& k : keys) {
            HKEY h;
            std::u16string path = sim::ToUtf16(k.path);
            RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr);
            for (const auto& v : k.values) {
                std::u16string name = sim::ToUtf16(v.name);
                if (v.type == REG_DWORD) {
                    RegSetValueExW(h, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v.number), 4);
                } else {
                    std::u16string data = sim::ToUtf16(v.text);
                    RegSetValueExW(h, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                                   static_cast<DWORD>((data.size() + 1) * 2));
                }
            }
            RegCloseKey(h);
        }
    });
}

bool g_direct = false;
volatile unsigned benchmarkSink = 0;

// Makes a machine in folder; the seconds its printers took to write.
double MakeMachine(const fs::path& folder, int printers, int ports) {
    std::string tool = g_bin + "/drovan-machine --machine " + Quote(folder.string());
    int status = 0;
    Run(tool + " init --lang 1033 --arch x64", &status);
    if (status != 0) {
        std::cerr << "cannot make a machine in " << folder << "\n";
        std::exit(1);
    }
    auto keys = MachineContent(printers, ports);
    auto start = Clock::now();
    if (g_direct) {
        sim::UseMachine(folder);
        WriteDirect(keys);
        sim::UseMachine("/nonexistent");
    } else {
        fs::path file = folder.parent_path() / (folder.filename().string() + ".reg");
        WriteRegFile(file, keys);
        start = Clock::now();
        std::string out = Run(tool + " reg import " + Quote(file.string()) + " 2>&1", &status);
        if (status != 0) {
            std::cerr << "import failed: " << out;
            std::exit(1);
        }
    }
    return Micros(Clock::now() - start) / 1e6;
}

// ---- In-process spooler calls ----------------------------------------------------------

// One size call and one fill call, as every caller makes them; the records returned.
DWORD EnumPair(DWORD flags, DWORD* returned) {
    DWORD needed = 0;
    *returned = 0;
    WCHAR empty[1] = {0};
    if (EnumPrintersW(flags, empty, 2, nullptr, 0, &needed, returned) || GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return 0;
    std::vector<BYTE> buffer(needed);
    if (!EnumPrintersW(flags, empty, 2, buffer.data(), needed, &needed, returned)) return 0;
    return needed;
}

DWORD PortPair(bool ansi, DWORD* returned) {
    DWORD needed = 0;
    *returned = 0;
    BOOL ok = ansi ? EnumPortsA(nullptr, 2, nullptr, 0, &needed, returned)
                   : EnumPortsW(nullptr, 2, nullptr, 0, &needed, returned);
    if (ok || GetLastError() != ERROR_INSUFFICIENT_BUFFER) return 0;
    std::vector<BYTE> buffer(needed);
    ok = ansi ? EnumPortsA(nullptr, 2, buffer.data(), needed, &needed, returned)
              : EnumPortsW(nullptr, 2, buffer.data(), needed, &needed, returned);
    return ok ? needed : 0;
}

struct Cold {
    Cost first;  // the first call of a process on the machine
    Cost warm;   // later calls, the machine unchanged
};

// Microseconds of call() as the first in a process (the machine opened afresh) and when
// repeated.
Cold TimeCall(const fs::path& folder, int runs, const std::function<void()>& call) {
    std::vector<Cost> first, warm;
    for (int r = 0; r < runs; ++r) {
        sim::UseMachine(folder);
        sim::CurrentMachine();
        first.push_back(Measure(call));
        for (int i = 0; i < 5; ++i) warm.push_back(Measure(call));
    }
    sim::UseMachine("/nonexistent");
    return {Median(first), Median(warm)};
}

// ---- The wizard and the print UI as processes ------------------------------------------

// Milliseconds of a command, with the processor time of its processes.
Cost TimeProcess(const std::string& command, int* status) {
    double cpu = ChildrenCpuMicros();
    auto t0 = Clock::now();
    Run(command, status);
    return {Micros(Clock::now() - t0) / 1000, (ChildrenCpuMicros() - cpu) / 1000};
}

std::string Replay(const fs::path& folder, const std::string& script, int* status) {
    fs::path file = folder.parent_path() / "bench.replay";
    std::ofstream(file) << script;
    return Run("cd " + Quote(g_bin) + " && ./drovan-replay --machine " + Quote(folder.string()) + " " +
                   Quote(file.string()) + " 2>&1",
               status);
}

// Licence, Next, the first model, Next: the installed-driver dialog opens (the machine has a
// printer of the model); Cancel there and on the wizard.
const char kWalkToDriverInfo[] = "click 1001\nclick 3\nclick 3\nclick 1041\nkey escape\n";

Cost TimeWalk(const fs::path& folder, int runs) {
    fs::path file = folder.parent_path() / "walk.replay";
    std::ofstream(file) << kWalkToDriverInfo;
    std::string command = "cd " + Quote(g_bin) + " && ./drovan-replay --machine " + Quote(folder.string()) + " " +
                          Quote(file.string()) + " >/dev/null 2>&1";
    std::vector<Cost> ms;
    for (int r = 0; r < runs; ++r) {
        int status = 0;
        ms.push_back(TimeProcess(command, &status));
        if (status != 0) {
            std::cerr << "the wizard's walk failed on " << folder << "\n" << Replay(folder, kWalkToDriverInfo, &status);
            std::exit(1);
        }
    }
    return Median(ms);
}

void DeleteModelPrinter(const fs::path& folder) {
    Run(g_bin + "/drovan-machine --machine " + Quote(folder.string()) + " printer delete " + Quote(kModel) +
        " >/dev/null 2>&1");
}

std::string WindowsPath(const std::string& host) {
    std::string w = "Z:" + host;
    std::replace(w.begin(), w.end(), '/', '\\');
    return w;
}

// The print UI installing the model on COM1: as its own process (the model's printer
// deleted first, and again after).
Cost TimePrintUi(const fs::path& folder, int runs) {
    std::string inf = WindowsPath(g_bin + "/MR2A_x64.inf");
    std::string command = "DROVAN_MACHINE=" + Quote(folder.string()) + " " + Quote(g_bin + "/drovan-printui") +
                          " PRINTUI.DLL,PrintUIEntry /if /n " + Quote(kModel) + " /f " + Quote(inf) +
                          " /r COM1: /m " + Quote(kModel) + " 2>&1";
    std::vector<Cost> ms;
    for (int r = 0; r < runs; ++r) {
        DeleteModelPrinter(folder);
        int status = 0;
        ms.push_back(TimeProcess(command, &status));
        if (status != 0) {
            std::cerr << "the print UI failed on " << folder << ": " << Run(command) << "\n";
            std::exit(1);
        }
    }
    DeleteModelPrinter(folder);
    return Median(ms);
}

// The wizard installs the model on COM1:; the machine clock is read off 200 ms waits (up to
// a minute). The result: the end of the first 200 ms step in which the outcome's message
// box showed.
int OutcomeTick(const fs::path& folder) {
    DeleteModelPrinter(folder);
    std::string script = "click 1001\nclick 3\nclick 3\nselect 1008 \"COM1:\"\nanswer OK\nclick 3\n";
    for (int i = 0; i < 300; ++i) script += "wait 200\ndump\n";
    script += "close\n";
    int status = 0;
    std::string t = Replay(folder, script, &status);
    DeleteModelPrinter(folder);
    size_t box = t.find("\nmsgbox ");
    if (box == std::string::npos) return -1;  // not within the minute
    if (status != 0) {
        std::cerr << "the installation's replay failed on " << folder << "\n" << t.substr(t.size() - std::min<size_t>(t.size(), 400));
        std::exit(1);
    }
    int dumps = 0;
    for (size_t at = t.find("\ndump 102"); at != std::string::npos && at < box; at = t.find("\ndump 102", at + 1))
        ++dumps;
    return (dumps + 1) * 200;
}

// ---- Report ----------------------------------------------------------------------------

// A row of costs, one per column: wall time, and processor time when there is one.
struct Row {
    std::string what;
    std::vector<Cost> values;
    const char* unit;
    bool cpu = true;
};

void PrintTable(const std::string& title, const std::vector<std::string>& columns, const std::vector<Row>& rows) {
    std::printf("\n%s\n%-46s", title.c_str(), "");
    for (const auto& c : columns) std::printf("%24s", c.c_str());
    std::printf("\n");
    for (const auto& r : rows) {
        std::printf("%-46s", r.what.c_str());
        char cell[64];
        for (const auto& v : r.values) {
            if (r.cpu) std::snprintf(cell, sizeof cell, "%.2f / %.2f %s", v.wall, v.cpu, r.unit);
            else std::snprintf(cell, sizeof cell, "%.2f %s", v.wall, r.unit);
            std::printf("%24s", cell);
        }
        std::printf("\n");
    }
}

// Nanoseconds of an ANSI conversion of a log line, and of GetACP, on a machine.
Cost ConversionNanos(const fs::path& folder, bool acpOnly) {
    sim::UseMachine(folder);
    const std::u16string line = u"kwl at PrinterInfo NormalInstaller() IsDriverInstall(m_szPrinterName) true";
    char out[256];
    constexpr int kCalls = 20000;
    std::vector<Cost> runs;
    for (int r = 0; r < 5; ++r) {
        unsigned sum = 0;
        Cost c = Measure([&] {
            for (int i = 0; i < kCalls; ++i) {
                if (acpOnly) sum += GetACP();
                else sum += WideCharToMultiByte(CP_ACP, 0, line.c_str(), -1, out, sizeof out, nullptr, nullptr);
            }
        });
        benchmarkSink = sum;
        runs.push_back({c.wall * 1000 / kCalls, c.cpu * 1000 / kCalls});
    }
    sim::UseMachine("/nonexistent");
    return Median(runs);
}

}  // namespace

int main(int argc, char** argv) {
    g_bin = fs::canonical("/proc/self/exe").parent_path().string();
    std::vector<int> sizes = {100, 1000, 10000};
    int runs = 7;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--sizes" && i + 1 < argc) {
            sizes.clear();
            std::stringstream s(argv[++i]);
            for (std::string n; std::getline(s, n, ',');) sizes.push_back(std::stoi(n));
        } else if (a == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--fill" && i + 1 < argc) {
            g_direct = std::string(argv[++i]) == "direct";
        } else {
            std::cerr << "usage: bench_spooler [--sizes 100,1000,10000] [--runs N] [--fill import|direct]\n";
            return 2;
        }
    }
    char pattern[] = "/tmp/drovan-bench-spooler-XXXXXX";
    fs::path root = mkdtemp(pattern);

    auto per = [](Cost c, double n) { return Cost{c.wall / n, c.cpu / n}; };
    std::vector<std::string> columns;
    std::vector<Row> make{{"machine made (" + std::string(g_direct ? "registry API" : "reg import") + ")", {}, "s", false}};
    std::vector<Row> perPrinter{{"EnumPrintersW L2 size+fill, cold, per printer", {}, "us"},
                                {"EnumPrintersW L2 size+fill, warm, per printer", {}, "us"},
                                {"count's calls (local+connections), cold", {}, "ms"},
                                {"count's calls (local+connections), warm", {}, "ms"}};
    std::vector<Row> wizard{{"print UI installation (process)", {}, "ms"},
                            {"wizard start -> installed-driver dialog", {}, "ms"},
                            {"wizard walk / one-printer walk", {}, "x"},
                            {"outcome shown by machine time, median of 3", {}, "ms", false}};

    // The one-printer machine: the baseline of the wizard's walk; the empty one: of the
    // installation.
    fs::path one = root / "printers-1";
    MakeMachine(one, 1, 0);
    Cost walkOne = TimeWalk(one, runs);
    fs::path empty = root / "printers-0";
    MakeMachine(empty, 0, 0);
    Cost printUiEmpty = TimePrintUi(empty, runs);
    std::vector<double> ticks;
    for (int r = 0; r < 3; ++r) ticks.push_back(OutcomeTick(empty));
    double tickEmpty = Median(ticks);

    for (int n : sizes) {
        columns.push_back(std::to_string(n) + " printers");
        fs::path folder = root / ("printers-" + std::to_string(n));
        make[0].values.push_back({MakeMachine(folder, n, 0), 0});
        DWORD got = 0;
        Cold e = TimeCall(folder, runs, [&] { EnumPair(PRINTER_ENUM_LOCAL, &got); });
        if (got != static_cast<DWORD>(n)) std::cerr << "EnumPrintersW returned " << got << " of " << n << "\n";
        perPrinter[0].values.push_back(per(e.first, n));
        perPrinter[1].values.push_back(per(e.warm, n));
        Cold c = TimeCall(folder, runs, [&] { EnumPair(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, &got); });
        perPrinter[2].values.push_back(per(c.first, 1000));
        perPrinter[3].values.push_back(per(c.warm, 1000));
        Cost walk = TimeWalk(folder, runs);  // before the model's printer goes
        wizard[1].values.push_back(walk);
        wizard[2].values.push_back({walk.wall / walkOne.wall, walk.cpu / walkOne.cpu});
        wizard[0].values.push_back(TimePrintUi(folder, runs));
        std::vector<double> outcome;
        for (int r = 0; r < 3; ++r) outcome.push_back(OutcomeTick(folder));
        wizard[3].values.push_back({Median(outcome), 0});
    }

    // Ports: the default eight, and 1,000 more.
    std::vector<Row> ports{{"EnumPortsW L2 size+fill, warm", {}, "us"}, {"EnumPortsA L2 size+fill, warm", {}, "us"},
                           {"EnumPortsW L2 size+fill, cold", {}, "us"}};
    std::vector<std::string> portColumns = {"8 ports", "1008 ports"};
    std::vector<Row> settings{{"GetACP()", {}, "ns"}, {"WideCharToMultiByte(CP_ACP), log line", {}, "ns"}};
    for (int extra : {0, 1000}) {
        fs::path folder = root / ("ports-" + std::to_string(extra));
        MakeMachine(folder, 1, extra);
        DWORD got = 0;
        Cold w = TimeCall(folder, runs, [&] { PortPair(false, &got); });
        Cold a = TimeCall(folder, runs, [&] { PortPair(true, &got); });
        ports[0].values.push_back(w.warm);
        ports[1].values.push_back(a.warm);
        ports[2].values.push_back(w.first);
        if (extra == 0) {
            settings[0].values.push_back(ConversionNanos(folder, true));
            settings[1].values.push_back(ConversionNanos(folder, false));
        }
    }

    std::printf("bench_spooler: medians of %d runs, wall / processor time; machines under %s\n", runs, root.c_str());
    PrintTable("Making the machines", columns, make);
    PrintTable("Printer enumeration", columns, perPrinter);
    std::printf("\none-printer walk %.1f / %.1f ms; empty machine: print UI %.1f / %.1f ms, outcome by %.0f ms\n",
                walkOne.wall, walkOne.cpu, printUiEmpty.wall, printUiEmpty.cpu, tickEmpty);
    PrintTable("Installation and the wizard", columns, wizard);
    PrintTable("Ports", portColumns, ports);
    PrintTable("Machine settings (8-port machine)", {"per call"}, settings);
    std::error_code ec;
    fs::remove_all(root, ec);
    return 0;
}
