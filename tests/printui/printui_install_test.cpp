// drovan-printui end to end: the real program on a fresh machine, checked by what the
// machine holds afterwards.
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "fresh_machine.h"
#include "platform/sim/faults.h"
#include "platform/sim/handles.h"
#include "platform/sim/process.h"
#include "platform/sim/text.h"
#include "platform/sim/waitable.h"
#include "platform/win32.h"

namespace fs = std::filesystem;

namespace {

std::u16string Text(const WCHAR* s) { return std::u16string(sim::View(s)); }

struct PrinterSeen {
    std::u16string name, port, driver;
};

std::vector<PrinterSeen> Printers() {
    std::vector<PrinterSeen> out;
    DWORD needed = 0, returned = 0;
    EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned);
    if (!needed) return out;
    std::vector<BYTE> buf(needed);
    EXPECT_TRUE(EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, buf.data(), needed, &needed, &returned));
    auto* p = reinterpret_cast<PRINTER_INFO_2W*>(buf.data());
    for (DWORD i = 0; i < returned; ++i)
        out.push_back({Text(p[i].pPrinterName), Text(p[i].pPortName), Text(p[i].pDriverName)});
    return out;
}

struct DriverSeen {
    std::u16string name, driverPath, dataFile, configFile, helpFile;
    std::vector<std::u16string> dependents;
};

std::vector<DriverSeen> Drivers(const char16_t* environment) {
    std::vector<DriverSeen> out;
    std::u16string env = environment;
    DWORD needed = 0, returned = 0;
    EnumPrinterDriversW(nullptr, env.data(), 3, nullptr, 0, &needed, &returned);
    if (!needed) return out;
    std::vector<BYTE> buf(needed);
    EXPECT_TRUE(EnumPrinterDriversW(nullptr, env.data(), 3, buf.data(), needed, &needed, &returned));
    auto* d = reinterpret_cast<DRIVER_INFO_3W*>(buf.data());
    for (DWORD i = 0; i < returned; ++i) {
        DriverSeen s{Text(d[i].pName), Text(d[i].pDriverPath), Text(d[i].pDataFile),
                     Text(d[i].pConfigFile), Text(d[i].pHelpFile), {}};
        for (const WCHAR* f = d[i].pDependentFiles; f && *f; f += sim::View(f).size() + 1)
            s.dependents.emplace_back(sim::View(f));
        out.push_back(s);
    }
    return out;
}

struct EventSeen {
    std::u16string source, level, message;
    DWORD code = 0;
};

std::vector<EventSeen> Events() {
    std::vector<EventSeen> out;
    HKEY log;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SYSTEM\\DrovanEvents", 0, KEY_READ, &log)) return out;
    WCHAR name[64];
    for (DWORD i = 0;; ++i) {
        DWORD cch = 64;
        if (RegEnumKeyExW(log, i, name, &cch, nullptr, nullptr, nullptr, nullptr)) break;
        HKEY key;
        if (RegOpenKeyExW(log, name, 0, KEY_READ, &key)) continue;
        EventSeen e;
        auto text = [&](const char16_t* value) {
            WCHAR data[2048] = {};
            DWORD size = sizeof data - 2;
            RegQueryValueExW(key, value, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
            return std::u16string(data);
        };
        e.source = text(u"Source");
        e.level = text(u"Level");
        e.message = text(u"Message");
        DWORD size = sizeof e.code;
        RegQueryValueExW(key, u"Code", nullptr, nullptr, reinterpret_cast<BYTE*>(&e.code), &size);
        RegCloseKey(key);
        out.push_back(e);
    }
    RegCloseKey(log);
    return out;
}

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class PrintUiInstall : public FreshMachine {
protected:
    void SetUp() override {
        FreshMachine::SetUp();
        m_package = sim::CurrentMachine().DriveC() / "Setup";
        fs::create_directories(m_package);
        for (const auto& e : fs::directory_iterator(DROVAN_DRIVERS_DIR))
            fs::copy_file(e.path(), m_package / e.path().filename());
    }

    fs::path DriverDir(const char* arch) const {
        return sim::CurrentMachine().DriveC() / "Windows/System32/spool/drivers" / arch / "3";
    }

    size_t FilesIn(const fs::path& dir) const {
        std::error_code ec;
        size_t n = 0;
        for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator(); ++it) ++n;
        return n;
    }

    HANDLE Start(std::vector<std::string> args) {
        args.insert(args.begin(), {DROVAN_PRINTUI_EXE, "PRINTUI.DLL,PrintUIEntry"});
        DWORD error = 0;
        HANDLE p = sim::StartProcess(args, "", &error);
        EXPECT_NE(p, nullptr) << error;
        return p;
    }

    DWORD Run(std::vector<std::string> args) {
        HANDLE p = Start(std::move(args));
        if (!p) return 0xFFFFFFFF;
        EXPECT_EQ(WaitForSingleObject(p, 60000), WAIT_OBJECT_0);
        DWORD code = 0xFFFFFFFF;
        GetExitCodeProcess(p, &code);
        CloseHandle(p);
        return code;
    }

    DWORD Install(const std::string& name, const std::string& inf, const std::string& port,
                  const std::string& model) {
        return Run({"/if", "/b", name, "/f", "C:\\Setup\\" + inf, "/r", port, "/m", model, "/q"});
    }

    fs::path m_package;
};

}  // namespace

TEST_F(PrintUiInstall, InstallsTheDriverAndThePrinterOnA64BitMachine) {
    EXPECT_EQ(Install("QB410 Printer", "MR2A_x64.inf", "COM1:", "QB410 Printer"), 0u);
    auto printers = Printers();
    ASSERT_EQ(printers.size(), 1u);
    EXPECT_EQ(printers[0].name, u"QB410 Printer");
    EXPECT_EQ(printers[0].port, u"COM1:");
    EXPECT_EQ(printers[0].driver, u"QB410 Printer");

    auto drivers = Drivers(u"Windows x64");
    ASSERT_EQ(drivers.size(), 1u);
    const auto& d = drivers[0];
    EXPECT_EQ(d.name, u"QB410 Printer");
    const std::u16string dir = u"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\";
    EXPECT_TRUE(sim::EqualsNoCase(d.driverPath, dir + u"dvmr2a64.dll")) << sim::ToUtf8(d.driverPath);
    EXPECT_TRUE(sim::EqualsNoCase(d.configFile, dir + u"dvmr2aui64.dll"));
    EXPECT_TRUE(sim::EqualsNoCase(d.dataFile, dir + u"mr2a.dat"));
    EXPECT_TRUE(sim::EqualsNoCase(d.helpFile, dir + u"mr2a.hlp"));
    ASSERT_EQ(d.dependents.size(), 2u);

    // The files are copied with their contents; the INF's renamed file under its new name.
    for (const char* f : {"dvmr2a64.dll", "dvmr2aui64.dll", "mr2a.dat", "mr2a.hlp", "mr2a.ini"})
        EXPECT_EQ(ReadFile(DriverDir("x64") / f), ReadFile(m_package / f)) << f;
    EXPECT_EQ(ReadFile(DriverDir("x64") / "mr2a_lang.txt"), ReadFile(m_package / "mr2a_lang_src.txt"));
    EXPECT_FALSE(fs::exists(DriverDir("x64") / "mr2a_lang_src.txt"));
    EXPECT_TRUE(Drivers(u"Windows NT x86").empty());
    EXPECT_TRUE(Events().empty());
}

TEST_F(PrintUiInstall, InstallsEveryShippedModelOnItsArchitecture) {
    struct Case {
        sim::Arch arch;
        const char* suffix;
        const char16_t* env;
        const char* dir;
    } archs[] = {{sim::Arch::X86, ".inf", u"Windows NT x86", "w32x86"},
                 {sim::Arch::X64, "_x64.inf", u"Windows x64", "x64"}};
    const char* models[][2] = {{"MR2A", "QB410 Printer"}, {"MR3A", "QD530 Printer"},
                               {"MR5A", "KELV MR5A Printer"}, {"MR6A", "KELV MR6A Printer"}};
    for (const auto& a : archs) {
        Reinit({a.arch, 1033});
        size_t before = Printers().size();
        for (const auto& m : models)
            EXPECT_EQ(Install(std::string(m[1]) + " " + a.dir, m[0] + std::string(a.suffix), "LPT1:", m[1]), 0u)
                << m[0] << a.suffix;
        EXPECT_EQ(Printers().size(), before + 4);
        EXPECT_EQ(Drivers(a.env).size(), 4u);
    }
    EXPECT_TRUE(fs::exists(DriverDir("w32x86") / "dvmr6a.dll"));
    EXPECT_TRUE(fs::exists(DriverDir("x64") / "dvmr6a64.dll"));
}

TEST_F(PrintUiInstall, EveryFailureLeavesNothingAndIsLogged) {
    // A printer that exists already, to take its name.
    ASSERT_EQ(Install("Taken", "MR3A_x64.inf", "COM2:", "QD530 Printer"), 0u);
    const size_t driverFiles = FilesIn(DriverDir("x64"));
    {
        std::ofstream broken(m_package / "Broken.inf", std::ios::binary);
        broken << "[Version]\nSignature=\"$Windows NT$\"\nClass=Printer\n[Manufacturer\n";
    }
    fs::copy(m_package, sim::CurrentMachine().DriveC() / "Partial", fs::copy_options::recursive);
    fs::remove(sim::CurrentMachine().DriveC() / "Partial" / "dvmr2aui64.dll");

    struct Case {
        const char* what;
        std::vector<std::string> args;
        DWORD code;
    } cases[] = {
        {"broken INF", {"/if", "/n", "P", "/f", "C:\\Setup\\Broken.inf", "/r", "COM1:", "/m", "QB410 Printer"}, 0xE0000003},
        {"missing INF", {"/if", "/n", "P", "/f", "C:\\Setup\\None.inf", "/r", "COM1:", "/m", "QB410 Printer"}, ERROR_FILE_NOT_FOUND},
        {"missing folder", {"/if", "/n", "P", "/f", "C:\\Nowhere\\MR2A_x64.inf", "/r", "COM1:", "/m", "QB410 Printer"}, ERROR_PATH_NOT_FOUND},
        {"missing driver file", {"/if", "/n", "P", "/f", "C:\\Partial\\MR2A_x64.inf", "/r", "COM1:", "/m", "QB410 Printer"}, ERROR_FILE_NOT_FOUND},
        {"unknown port", {"/if", "/n", "P", "/f", "C:\\Setup\\MR2A_x64.inf", "/r", "COM9:", "/m", "QB410 Printer"}, ERROR_UNKNOWN_PORT},
        {"model of another architecture", {"/if", "/n", "P", "/f", "C:\\Setup\\MR2A.inf", "/r", "COM1:", "/m", "QB410 Printer"}, ERROR_UNKNOWN_PRINTER_DRIVER},
        {"model not in the INF", {"/if", "/n", "P", "/f", "C:\\Setup\\MR2A_x64.inf", "/r", "COM1:", "/m", "QD530 Printer"}, ERROR_UNKNOWN_PRINTER_DRIVER},
        {"name taken", {"/if", "/n", "taken", "/f", "C:\\Setup\\MR2A_x64.inf", "/r", "COM1:", "/m", "QB410 Printer"}, ERROR_PRINTER_ALREADY_EXISTS},
        {"invalid name", {"/if", "/n", "a,b", "/f", "C:\\Setup\\MR2A_x64.inf", "/r", "COM1:", "/m", "QB410 Printer"}, ERROR_INVALID_PRINTER_NAME},
        {"unknown switch", {"/if", "/n", "P", "/f", "C:\\Setup\\MR2A_x64.inf", "/r", "COM1:", "/m", "QB410 Printer", "/x"}, ERROR_INVALID_PARAMETER},
    };
    size_t events = Events().size();
    for (const auto& c : cases) {
        DWORD status = Run(c.args);
        EXPECT_NE(status, 0u) << c.what;
        auto printers = Printers();
        ASSERT_EQ(printers.size(), 1u) << c.what;
        EXPECT_EQ(printers[0].name, u"Taken") << c.what;
        EXPECT_EQ(Drivers(u"Windows x64").size(), 1u) << c.what;
        EXPECT_EQ(FilesIn(DriverDir("x64")), driverFiles) << c.what;
        auto log = Events();
        ASSERT_EQ(log.size(), events + 1) << c.what;
        EXPECT_EQ(log.back().code, c.code) << c.what << ": " << sim::ToUtf8(log.back().message);
        EXPECT_EQ(log.back().level, u"Error");
        EXPECT_FALSE(log.back().message.empty());
        events = log.size();
    }
}

TEST_F(PrintUiInstall, APrinterThatCannotBeAddedTakesItsDriverAlong) {
    sim::SetFault(sim::CurrentMachine().Db(), {"AddPrinterW", ERROR_NOT_ENOUGH_MEMORY, 1});
    EXPECT_EQ(Install("QB410 Printer", "MR2A_x64.inf", "COM1:", "QB410 Printer"), 1u);
    EXPECT_TRUE(Printers().empty());
    EXPECT_TRUE(Drivers(u"Windows x64").empty()) << "the driver was added in the same transaction";
    EXPECT_EQ(FilesIn(DriverDir("x64")), 0u) << "the files brought for it are gone again";
    auto log = Events();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].code, static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_TRUE(sim::ListFaults(sim::CurrentMachine().Db()).empty())
        << "the once-only fault stays used up although its transaction was rolled back";

    // An earlier driver's files that the attempt overwrote are put back as they were.
    ASSERT_EQ(Install("First", "MR2A_x64.inf", "COM1:", "QB410 Printer"), 0u);
    const fs::path dat = DriverDir("x64") / "mr2a.dat";
    { std::ofstream(dat, std::ios::binary | std::ios::trunc) << "older data"; }
    sim::SetFault(sim::CurrentMachine().Db(), {"AddPrinterW", ERROR_NOT_ENOUGH_MEMORY, 1});
    EXPECT_EQ(Install("Second", "MR2A_x64.inf", "COM2:", "QB410 Printer"), 1u);
    EXPECT_EQ(ReadFile(dat), "older data");
    EXPECT_EQ(Printers().size(), 1u);
}

TEST_F(PrintUiInstall, ACrashBetweenDriverAndPrinterLeavesNeither) {
    setenv("DROVAN_SIM_CRASH", "printui-between-driver-and-printer", 1);
    DWORD status = Install("QB410 Printer", "MR2A_x64.inf", "COM1:", "QB410 Printer");
    unsetenv("DROVAN_SIM_CRASH");
    EXPECT_EQ(status, 0xC000013Au) << "the print UI should have died at the crash point";
    EXPECT_TRUE(Printers().empty());
    EXPECT_TRUE(Drivers(u"Windows x64").empty());
    // The machine is whole: the next attempt succeeds.
    EXPECT_EQ(Install("QB410 Printer", "MR2A_x64.inf", "COM1:", "QB410 Printer"), 0u);
    EXPECT_EQ(Printers().size(), 1u);
}

TEST_F(PrintUiInstall, FaultsMakeThePrintUiFailOrHang) {
    sim::SetFault(sim::CurrentMachine().Db(), {"PrintUIEntry", ERROR_ACCESS_DENIED, 1});
    EXPECT_EQ(Install("QB410 Printer", "MR2A_x64.inf", "COM1:", "QB410 Printer"), 1u);
    EXPECT_TRUE(Printers().empty());
    ASSERT_EQ(Events().size(), 1u);
    EXPECT_EQ(Events()[0].code, static_cast<DWORD>(ERROR_ACCESS_DENIED));

    sim::SetFault(sim::CurrentMachine().Db(), {"PrintUIEntry", ERROR_TIMEOUT, 1});
    HANDLE p = Start({"/if", "/n", "QB410 Printer", "/f", "C:\\Setup\\MR2A_x64.inf", "/r", "COM1:",
                      "/m", "QB410 Printer"});
    ASSERT_NE(p, nullptr);
    // A hang is seen as a wait that times out; its warning is logged as it begins.
    EXPECT_EQ(WaitForSingleObject(p, 1500), static_cast<DWORD>(WAIT_TIMEOUT));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(p, &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
    auto log = Events();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].code, static_cast<DWORD>(ERROR_TIMEOUT));
    EXPECT_EQ(log[1].level, u"Warning");
    EXPECT_TRUE(Printers().empty());
    kill(sim::Lookup<sim::ProcessObject>(p)->pid, SIGKILL);
    EXPECT_EQ(WaitForSingleObject(p, 60000), WAIT_OBJECT_0);
    CloseHandle(p);
}
