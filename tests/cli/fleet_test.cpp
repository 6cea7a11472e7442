// A fleet: many fresh tills of different languages and architectures installed at once by
// the same kind of command line, each one as its switches say.
#include <thread>

#include "cli_fixture.h"

namespace fs = std::filesystem;

namespace {

struct Till {
    int lang;
    std::string arch;
    std::string model;    // the switch's value
    std::string printer;  // the catalogue's printer name
    std::string inf;      // the package the architecture takes
    std::string port;     // the switch's value ("" for the attached USB printer)
    std::string installedOn;
    bool makeDefault;
    int code;             // Itanium has no package of ours: the print UI refuses it
    fs::path machine;
    ProgramRun run;
};

}  // namespace

TEST_F(CliTest, FleetOfFreshTillsInstalledInParallel) {
    const int langs[] = {1033, 2052, 1028};
    const char* archs[] = {"x64", "x86", "arm64", "ia64"};
    const char* models[][3] = {{"QB410", "QB410 Printer", "MR2A"},
                               {"qd530", "QD530 Printer", "MR3A"},
                               {"KELV MR5A Printer", "KELV MR5A Printer", "MR5A"},
                               {"kelv mr6a", "KELV MR6A Printer", "MR6A"}};
    const char* ports[] = {"COM1:", "LPT1:", "", "FILE:", "COM4:"};
    const int kTills = 15;

    std::vector<Till> tills(kTills);
    for (int i = 0; i < kTills; ++i) {
        Till& t = tills[i];
        t.lang = langs[i % 3];
        t.arch = archs[i % 4];
        t.model = models[(i / 2) % 4][0];
        t.printer = models[(i / 2) % 4][1];
        t.inf = std::string(models[(i / 2) % 4][2]) + (t.arch == "x64" || t.arch == "ia64" ? "_x64.inf" : ".inf");
        t.port = ports[i % 5];
        t.installedOn = t.port.empty() ? "USB00" + std::to_string(i % 9 + 1) : t.port;
        t.makeDefault = i % 2 == 0;
        t.code = t.arch == "ia64" ? 1 : 0;
        t.machine = m_root / ("till" + std::to_string(i));
        std::string out;
        std::string tool = ShellQuote(DROVAN_MACHINE_TOOL) + " --machine " + ShellQuote(t.machine.string());
        ASSERT_EQ(RunShell(tool + " init --lang " + std::to_string(t.lang) + " --arch " + t.arch, &out), 0) << out;
        if (t.port.empty()) {
            ASSERT_EQ(RunShell(tool + " usb attach 'vid_0483&pid_5720' T" + std::to_string(i) + " --port " +
                                   std::to_string(i % 9 + 1),
                               &out),
                      0);
        }
    }

    std::vector<std::thread> runs;
    for (Till& t : tills) {
        runs.emplace_back([this, &t] {
            std::vector<std::string> args = {"/quiet", "/model:" + t.model,
                                             "/log:" + (t.machine.string() + ".log")};
            if (!t.port.empty()) args.push_back("/port:" + t.port);
            if (t.makeDefault) args.push_back("/default");
            ProgramOptions o;
            o.machine = t.machine.string();
            t.run = Drovan(args, o);
        });
    }
    for (auto& r : runs) r.join();

    for (const Till& t : tills) {
        SCOPED_TRACE(t.machine.filename().string() + " " + t.arch + " " + std::to_string(t.lang) + " " + t.model);
        EXPECT_EQ(t.run.status, t.code) << t.run.Both();
        std::string log = ReadText(t.machine.string() + ".log");
        EXPECT_NE(log.find("m_szInfPath=" + AppDir() + t.inf), std::string::npos) << log;
        std::string out;
        std::string tool = ShellQuote(DROVAN_MACHINE_TOOL) + " --machine " + ShellQuote(t.machine.string()) + " --json ";
        ASSERT_EQ(RunShell(tool + "printers", &out), 0);
        Json printers = Json::Parse(out);
        if (t.code != 0) {
            EXPECT_EQ(printers.size(), 0u);
            continue;
        }
        ASSERT_EQ(printers.size(), 1u) << out;
        EXPECT_EQ(printers[0]["name"].AsString(), t.printer);
        EXPECT_EQ(printers[0]["driver"].AsString(), t.printer);
        EXPECT_EQ(printers[0]["port"].AsString(), t.installedOn);
        out.clear();
        ASSERT_EQ(RunShell(tool + "default", &out), 0);
        Json def = Json::Parse(out)["default"];
        EXPECT_EQ(def.kind() == Json::Kind::String ? def.AsString() : std::string(), t.makeDefault ? t.printer : "");
    }
}
