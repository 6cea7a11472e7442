// drovan-printui end to end: the real program on a fresh machine, checked by what the
// machine holds afterwards.
#include <signal.h>

#include <filesystem>
#include <algorithm>
#include <fstream>
#include <functional>
#include <optional>
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
    std::u16string name, driverPath, dataFile, configFile, helpFile, monitor;
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
                     Text(d[i].pConfigFile), Text(d[i].pHelpFile), Text(d[i].pMonitorName), {}};
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

    // A file of the system's ntprint.inf package in the driver store.
    fs::path StoreFile(const char* arch, const char* name) const {
        fs::path store = sim::CurrentMachine().DriveC() / "Windows/System32/DriverStore/FileRepository";
        for (const auto& e : fs::directory_iterator(store))
            if (e.path().filename().string().rfind("ntprint.inf_", 0) == 0) return e.path() / arch / name;
        return store / "missing";
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

    // A copy of a shipped ANSI INF under another name, with one text replaced.
    void WriteVariant(const char* name, const char* from, const std::string& text, const std::string& by) {
        std::string inf = ReadFile(m_package / from);
        size_t at = inf.find(text);
        ASSERT_NE(at, std::string::npos) << text;
        inf.replace(at, text.size(), by);
        std::ofstream(m_package / name, std::ios::binary) << inf;
    }

    fs::path m_package;
};

}  // namespace

TEST_F(PrintUiInstall, InstallsTheUniversalDriverWithTheModelsGpd) {
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
    EXPECT_EQ(d.driverPath, dir + u"UNIDRV.DLL");
    EXPECT_EQ(d.configFile, dir + u"UNIDRVUI.DLL");
    EXPECT_EQ(d.dataFile, dir + u"mr2a.gpd");
    EXPECT_EQ(d.helpFile, dir + u"UNIDRV.HLP");
    EXPECT_TRUE(d.monitor.empty());
    for (const char16_t* dependent : {u"UNIRES.DLL", u"STDNAMES.GPD"})
        EXPECT_NE(std::find(d.dependents.begin(), d.dependents.end(), dir + dependent), d.dependents.end())
            << sim::ToUtf8(dependent);

    // The GPD comes from the package, the universal driver from the system's driver store.
    EXPECT_EQ(ReadFile(DriverDir("x64") / "mr2a.gpd"), ReadFile(m_package / "mr2a.gpd"));
    EXPECT_EQ(ReadFile(DriverDir("x64") / "UNIDRV.DLL"), ReadFile(StoreFile("Amd64", "UNIDRV.DLL")));
    EXPECT_TRUE(Drivers(u"Windows NT x86").empty());
    EXPECT_TRUE(Events().empty());
}

TEST_F(PrintUiInstall, InstallsEveryShippedModelOnItsArchitecture) {
    struct Case {
        sim::Arch arch;
        const char* suffix;  // ARM64 Windows gets the 32-bit file from the installer
        const char16_t* env;
        const char* dir;
        const char* store;
    } archs[] = {{sim::Arch::X86, ".inf", u"Windows NT x86", "w32x86", "I386"},
                 {sim::Arch::X64, "_x64.inf", u"Windows x64", "x64", "Amd64"},
                 {sim::Arch::ARM64, ".inf", u"Windows ARM64", "arm64", "ARM64"}};
    const char* models[][3] = {{"MR2A", "QB410 Printer", "mr2a.gpd"},
                               {"MR3A", "QD530 Printer", "mr3a.gpd"},
                               {"MR5A", "KELV MR5A Printer", "mr5a.gpd"},
                               {"MR6A", "KELV MR6A Printer", "mr6a.gpd"}};
    for (const auto& a : archs) {
        Reinit({a.arch, 1033});
        size_t before = Printers().size();
        for (const auto& m : models)
            EXPECT_EQ(Install(std::string(m[1]) + " " + a.dir, m[0] + std::string(a.suffix), "LPT1:", m[1]), 0u)
                << m[0] << a.suffix << " on " << a.dir << ": " << (Events().empty() ? "" : sim::ToUtf8(Events().back().message));
        EXPECT_EQ(Printers().size(), before + 4);
        auto drivers = Drivers(a.env);
        ASSERT_EQ(drivers.size(), 4u) << a.dir;
        const std::u16string dir = u"C:\\Windows\\System32\\spool\\drivers\\" + sim::ToUtf16(a.dir) + u"\\3\\";
        for (const auto& m : models) {
            auto d = std::find_if(drivers.begin(), drivers.end(),
                                  [&](const DriverSeen& s) { return s.name == sim::ToUtf16(m[1]); });
            ASSERT_NE(d, drivers.end()) << m[1];
            EXPECT_EQ(d->driverPath, dir + u"UNIDRV.DLL");
            EXPECT_EQ(d->configFile, dir + u"UNIDRVUI.DLL");
            EXPECT_EQ(d->dataFile, dir + sim::ToUtf16(m[2]));
            EXPECT_EQ(ReadFile(DriverDir(a.dir) / m[2]), ReadFile(m_package / m[2]));
        }
        EXPECT_EQ(ReadFile(DriverDir(a.dir) / "UNIDRV.DLL"), ReadFile(StoreFile(a.store, "UNIDRV.DLL")))
            << "the core files of the machine's own architecture";
    }
    EXPECT_TRUE(Events().empty());
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
    fs::remove(sim::CurrentMachine().DriveC() / "Partial" / "mr2a.gpd");

    // Packages with the faults of the old ones, and a version 4 package.
    WriteVariant("NeedsBidi.inf", "MR3A_x64.inf", "Needs=UNIDRV.OEM", "Needs=UNIDRV_BIDI");
    WriteVariant("Version4.inf", "MR3A_x64.inf", "DriverVer=", "ClassVer=4.0\r\nDriverVer=");
    const fs::path driveC = sim::CurrentMachine().DriveC();

    struct Case {
        const char* what;
        std::vector<std::string> args;
        DWORD code;
        const char* says = "";              // part of the event's message
        std::function<void()> before = {};  // what breaks the machine first
    } cases[] = {
        {"broken INF", {"/if", "/n", "P", "/f", "C:\\Setup\\Broken.inf", "/r", "COM1:", "/m", "QB410 Printer"}, 0xE0000003},
        {"missing INF", {"/if", "/n", "P", "/f", "C:\\Setup\\None.inf", "/r", "COM1:", "/m", "QB410 Printer"}, ERROR_FILE_NOT_FOUND},
        {"missing folder", {"/if", "/n", "P", "/f", "C:\\Nowhere\\MR2A_x64.inf", "/r", "COM1:", "/m", "QB410 Printer"}, ERROR_PATH_NOT_FOUND},
        {"missing GPD", {"/if", "/n", "P", "/f", "C:\\Partial\\MR2A_x64.inf", "/r", "COM1:", "/m", "QB410 Printer"}, ERROR_FILE_NOT_FOUND,
         "\"mr2a.gpd\""},
        {"unknown port", {"/if", "/n", "P", "/f", "C:\\Setup\\MR2A_x64.inf", "/r", "COM9:", "/m", "QB410 Printer"}, ERROR_UNKNOWN_PORT},
        {"model of another architecture", {"/if", "/n", "P", "/f", "C:\\Setup\\MR2A.inf", "/r", "COM1:", "/m", "QB410 Printer"}, ERROR_UNKNOWN_PRINTER_DRIVER},
        {"model not in the INF", {"/if", "/n", "P", "/f", "C:\\Setup\\MR2A_x64.inf", "/r", "COM1:", "/m", "QD530 Printer"}, ERROR_UNKNOWN_PRINTER_DRIVER},
        {"name taken", {"/if", "/n", "taken", "/f", "C:\\Setup\\MR2A_x64.inf", "/r", "COM1:", "/m", "QB410 Printer"}, ERROR_PRINTER_ALREADY_EXISTS},
        {"invalid name", {"/if", "/n", "a,b", "/f", "C:\\Setup\\MR2A_x64.inf", "/r", "COM1:", "/m", "QB410 Printer"}, ERROR_INVALID_PRINTER_NAME},
        {"unknown switch", {"/if", "/n", "P", "/f", "C:\\Setup\\MR2A_x64.inf", "/r", "COM1:", "/m", "QB410 Printer", "/x"}, ERROR_INVALID_PARAMETER},
        {"a section ntprint.inf does not have", {"/if", "/n", "P", "/f", "C:\\Setup\\NeedsBidi.inf", "/r", "COM1:", "/m", "QD530 Printer"},
         0xE0000101, "the section [UNIDRV_BIDI] that [MR3A] needs is not in ntprint.inf"},
        {"version 4 package", {"/if", "/n", "P", "/f", "C:\\Setup\\Version4.inf", "/r", "COM1:", "/m", "QD530 Printer"},
         ERROR_NOT_SUPPORTED, "version 4 printer driver package"},
        // The system's own drivers broken: a core file gone from the driver store, then
        // ntprint.inf itself.
        {"core file missing", {"/if", "/n", "P", "/f", "C:\\Setup\\MR2A_x64.inf", "/r", "COM1:", "/m", "QB410 Printer"},
         ERROR_FILE_NOT_FOUND, "\"UNIRES.DLL\" that the system's ntprint.inf names is missing",
         [&] { fs::remove(StoreFile("Amd64", "UNIRES.DLL")); }},
        {"no ntprint.inf", {"/if", "/n", "P", "/f", "C:\\Setup\\MR2A_x64.inf", "/r", "COM1:", "/m", "QB410 Printer"},
         ERROR_FILE_NOT_FOUND, "\"ntprint.inf\" that [MR2A] includes is not in C:\\Windows\\INF",
         [&] { fs::remove(driveC / "Windows/INF/ntprint.inf"); }},
    };
    size_t events = Events().size();
    for (const auto& c : cases) {
        if (c.before) c.before();
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
        EXPECT_NE(sim::ToUtf8(log.back().message).find(c.says), std::string::npos)
            << c.what << ": " << sim::ToUtf8(log.back().message);
        events = log.size();
    }
}

// A status-answering printer of our own, as vendors write them: the bidirectional
// universal driver with its PJL language monitor, the system's sRGB profile and a colour
// profile of the package's, which go to the colour directory.
TEST_F(PrintUiInstall, MonitorsAndColourProfilesGoWhereWindowsPutsThem) {
    std::ofstream(m_package / "Bidi.inf", std::ios::binary)
        << "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n"
           "ClassGUID={4D36E979-E325-11CE-BFC1-08002BE10318}\r\nProvider=%M%\r\n"
           "[Manufacturer]\r\n%M%=M,NTamd64\r\n[M.NTamd64]\r\n\"Status Printer\"=SP\r\n"
           "[SP]\r\nCopyFiles=@mr2a.gpd,COLOR\r\nDataFile=mr2a.gpd\r\nDataSection=UNIDRV_BIDI_DATA\r\n"
           "Include=ntprint.inf\r\nNeeds=UNIDRV_BIDI.OEM,sRGBPROFILE.OEM\r\n"
           "[COLOR]\r\nstatus.icm\r\n[DestinationDirs]\r\nDefaultDestDir=66000\r\nCOLOR=66003\r\n"
           "[Strings]\r\nM=\"Maker\"\r\n";
    std::ofstream(m_package / "status.icm", std::ios::binary) << "a colour profile of the package";
    const fs::path system32 = sim::CurrentMachine().DriveC() / "Windows/System32";
    const fs::path color = system32 / "spool/drivers/color";
    auto monitorDriver = []() -> std::optional<std::u16string> {
        HKEY key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\PJL Language Monitor",
                          0, KEY_READ, &key))
            return std::nullopt;
        WCHAR data[64] = {};
        DWORD size = sizeof data - 2;
        RegQueryValueExW(key, u"Driver", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
        RegCloseKey(key);
        return std::u16string(data);
    };

    // A printer that cannot be added takes the monitor and the profiles along.
    sim::SetFault(sim::CurrentMachine().Db(), {"AddPrinterW", ERROR_NOT_ENOUGH_MEMORY, 1});
    EXPECT_EQ(Install("Status Printer", "Bidi.inf", "LPT1:", "Status Printer"), 1u);
    EXPECT_FALSE(monitorDriver());
    EXPECT_FALSE(fs::exists(system32 / "PJLMON.DLL"));
    EXPECT_EQ(FilesIn(color), 0u);

    ASSERT_EQ(Install("Status Printer", "Bidi.inf", "LPT1:", "Status Printer"), 0u)
        << sim::ToUtf8(Events().back().message);
    auto drivers = Drivers(u"Windows x64");
    ASSERT_EQ(drivers.size(), 1u);
    EXPECT_EQ(drivers[0].monitor, u"PJL Language Monitor");
    EXPECT_TRUE(sim::EqualsNoCase(drivers[0].driverPath, u"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\UNIDRV.DLL"));
    EXPECT_EQ(monitorDriver(), std::optional<std::u16string>(u"PJLMON.DLL"));
    EXPECT_EQ(ReadFile(system32 / "PJLMON.DLL"), ReadFile(StoreFile("Amd64", "PJLMON.DLL")));
    EXPECT_EQ(ReadFile(color / "status.icm"), "a colour profile of the package");
    EXPECT_TRUE(fs::is_regular_file(color / "sRGB Color Space Profile.icm"));
    for (const auto& f : drivers[0].dependents)
        EXPECT_EQ(f.find(u".icm"), std::u16string::npos) << "colour profiles are no driver files";
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
    const fs::path dat = DriverDir("x64") / "mr2a.gpd";
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
