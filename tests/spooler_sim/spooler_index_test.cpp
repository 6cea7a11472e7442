// The spooler's printer list read in one pass over its index: whatever wrote a printer
// (the spooler, the registry API, another process), the records equal what the registry
// holds; the size call and the fill call see one list; one-name questions are answered
// by look-up; a machine made before the index gets one when it is opened.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>

#include "platform/sim/faults.h"
#include "platform/sim/machine.h"
#include "platform/sim/spooler_index.h"
#include "platform/sim/text.h"
#include "spooler_sim_support.h"

namespace {

const WCHAR kPrinters[] = u"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";

// A printer's record as the registry holds it, read value by value through the registry
// API: the meaning the index must keep.
struct Record {
    std::u16string name, share, port, driver, comment, location, sepFile, processor, datatype, params;
    DWORD attributes = 0, priority = 0, defaultPriority = 0, startTime = 0, untilTime = 0, status = 0, jobs = 0;
    bool operator==(const Record& o) const {
        return std::tie(name, share, port, driver, comment, location, sepFile, processor, datatype, params, attributes,
                        priority, defaultPriority, startTime, untilTime, status, jobs) ==
               std::tie(o.name, o.share, o.port, o.driver, o.comment, o.location, o.sepFile, o.processor, o.datatype,
                        o.params, o.attributes, o.priority, o.defaultPriority, o.startTime, o.untilTime, o.status,
                        o.jobs);
    }
};

std::ostream& operator<<(std::ostream& os, const Record& r) {
    return os << sim::ToUtf8(r.name) << " port=" << sim::ToUtf8(r.port) << " driver=" << sim::ToUtf8(r.driver)
              << " comment=" << sim::ToUtf8(r.comment) << " location=" << sim::ToUtf8(r.location)
              << " attributes=" << r.attributes << " priority=" << r.priority << " status=" << r.status
              << " jobs=" << r.jobs;
}

std::string Raw(HKEY key, const WCHAR* name) {
    BYTE data[1024];
    DWORD cb = sizeof data;
    if (RegQueryValueExW(key, name, nullptr, nullptr, data, &cb) != ERROR_SUCCESS) return {};
    return std::string(reinterpret_cast<char*>(data), cb);
}
std::u16string Str(HKEY key, const WCHAR* name) {
    std::string raw = Raw(key, name);
    std::u16string s(raw.size() / 2, u'\0');
    std::memcpy(s.data(), raw.data(), s.size() * 2);
    while (!s.empty() && s.back() == 0) s.pop_back();
    return s;
}
DWORD Num(HKEY key, const WCHAR* name, DWORD fallback) {
    std::string raw = Raw(key, name);
    if (raw.size() < 4) return fallback;
    DWORD d;
    std::memcpy(&d, raw.data(), 4);
    return d;
}

std::vector<Record> FromRegistry() {
    std::vector<Record> out;
    HKEY printers;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPrinters, 0, KEY_READ, &printers) != ERROR_SUCCESS) return out;
    WCHAR keyName[256];
    for (DWORD i = 0;; ++i) {
        DWORD cch = 256;
        if (RegEnumKeyExW(printers, i, keyName, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        HKEY k;
        RegOpenKeyExW(printers, keyName, 0, KEY_READ, &k);
        Record r;
        r.name = Str(k, u"Name");
        if (r.name.empty()) r.name = keyName;
        r.share = Str(k, u"Share Name");
        r.port = Str(k, u"Port");
        r.driver = Str(k, u"Printer Driver");
        r.comment = Str(k, u"Description");
        r.location = Str(k, u"Location");
        r.sepFile = Str(k, u"Separator File");
        r.processor = Str(k, u"Print Processor");
        r.datatype = Str(k, u"Datatype");
        r.params = Str(k, u"Parameters");
        r.attributes = Num(k, u"Attributes", PRINTER_ATTRIBUTE_LOCAL);
        r.priority = Num(k, u"Priority", 1);
        r.defaultPriority = Num(k, u"Default Priority", 0);
        r.startTime = Num(k, u"StartTime", 0);
        r.untilTime = Num(k, u"UntilTime", 0);
        r.status = Num(k, u"Status", 0);
        HKEY jobs;
        if (RegOpenKeyExW(k, u"Jobs", 0, KEY_READ, &jobs) == ERROR_SUCCESS) {
            WCHAR job[32];
            for (DWORD cchJob = 32; RegEnumKeyExW(jobs, r.jobs, job, &cchJob, nullptr, nullptr, nullptr, nullptr) ==
                                    ERROR_SUCCESS;
                 cchJob = 32)
                ++r.jobs;
            RegCloseKey(jobs);
        }
        RegCloseKey(k);
        out.push_back(r);
    }
    RegCloseKey(printers);
    return out;
}

std::vector<Record> Enumerated() {
    std::vector<Record> out;
    DWORD needed = 0, returned = 0;
    EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned);
    std::vector<BYTE> buffer(needed);
    if (!EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), needed, &needed, &returned)) return out;
    auto* p = reinterpret_cast<PRINTER_INFO_2W*>(buffer.data());
    for (DWORD i = 0; i < returned; ++i)
        out.push_back({p[i].pPrinterName, p[i].pShareName, p[i].pPortName, p[i].pDriverName, p[i].pComment,
                       p[i].pLocation, p[i].pSepFile, p[i].pPrintProcessor, p[i].pDatatype, p[i].pParameters,
                       p[i].Attributes, p[i].Priority, p[i].DefaultPriority, p[i].StartTime, p[i].UntilTime,
                       p[i].Status, p[i].cJobs});
    return out;
}

void SetRaw(HKEY key, const WCHAR* name, DWORD type, const void* data, DWORD cb) {
    ASSERT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), cb), ERROR_SUCCESS);
}

class SpoolerIndexTest : public SpoolerMachine {
protected:
    // A printer written through the registry API alone, as an import or an older
    // program writes it: no Name value, a driver named in other letters, an Attributes
    // value too short to be a number, a value the spooler does not read.
    void WriteRawPrinter(const std::u16string& keyName) {
        HKEY k;
        std::u16string path = std::u16string(kPrinters) + u"\\" + keyName;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
                  ERROR_SUCCESS);
        SetRaw(k, u"Port", REG_SZ, u"COM1:", 12);
        SetRaw(k, u"Printer Driver", REG_SZ, u"ALPHA", 12);
        SetRaw(k, u"Attributes", REG_BINARY, "\x01\x02", 2);
        SetRaw(k, u"Priority", REG_DWORD, "\x05\0\0\0", 4);
        SetRaw(k, u"Default DevMode", REG_BINARY, "\x00\x01\x02\x03", 4);
        RegCloseKey(k);
    }
};

}  // namespace

TEST_F(SpoolerIndexTest, RecordsEqualTheRegistryWhateverWroteThePrinters) {
    AddDriverAndPrinter("Alpha");
    // Through the spooler of this process, with every field of the record given.
    WCHAR name[] = u"beta", port[] = u"LPT2:", driver[] = u"Alpha", share[] = u"b", comment[] = u"Till 2",
          location[] = u"Shop", params[] = u"x=1";
    PRINTER_INFO_2W info{};
    info.pPrinterName = name;
    info.pPortName = port;
    info.pDriverName = driver;
    info.pShareName = share;
    info.pComment = comment;
    info.pLocation = location;
    info.pParameters = params;
    info.Priority = 7;
    info.StartTime = 60;
    info.UntilTime = 120;
    HANDLE h = AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&info));
    ASSERT_NE(h, nullptr) << GetLastError();
    ClosePrinter(h);
    WriteRawPrinter(u"Gamma Raw");
    ASSERT_EQ(Tool("job add beta one").status, 0);
    ASSERT_EQ(Tool("job add beta two").status, 0);
    ASSERT_EQ(Tool("job add Alpha three").status, 0);
    EXPECT_EQ(Enumerated(), FromRegistry());
    EXPECT_EQ(Enumerated().size(), 3u);

    // Changes of every kind, here and in another process, between enumerations.
    HKEY k;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, (std::u16string(kPrinters) + u"\\beta").c_str(), 0, KEY_ALL_ACCESS, &k),
              ERROR_SUCCESS);
    SetRaw(k, u"Location", REG_SZ, u"Back room", 20);
    ASSERT_EQ(RegDeleteValueW(k, u"Description"), ERROR_SUCCESS);
    RegCloseKey(k);
    EXPECT_EQ(Enumerated(), FromRegistry());
    ASSERT_EQ(Tool("reg set 'HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Gamma Raw' Name REG_SZ "
                   "'Gamma Renamed'")
                  .status,
              0);
    ASSERT_EQ(Tool("reg delete 'HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\beta\\Jobs\\00001'").status,
              0);
    PRINTER_DEFAULTSW all{nullptr, nullptr, PRINTER_ALL_ACCESS};
    WCHAR alpha[] = u"ALPHA";
    ASSERT_TRUE(OpenPrinterW(alpha, &h, &all));
    EXPECT_TRUE(SetPrinterW(h, 0, nullptr, PRINTER_CONTROL_PAUSE));
    EXPECT_TRUE(SetPrinterW(h, 0, nullptr, PRINTER_CONTROL_PURGE));
    ClosePrinter(h);
    auto now = Enumerated();
    EXPECT_EQ(now, FromRegistry());
    ASSERT_EQ(now.size(), 3u);
    EXPECT_EQ(now[0].status, static_cast<DWORD>(PRINTER_STATUS_PAUSED));
    EXPECT_EQ(now[0].jobs, 0u);
    EXPECT_EQ(now[1].location, u"Back room");
    EXPECT_EQ(now[1].jobs, 1u);
    EXPECT_EQ(now[2].name, u"Gamma Renamed");
    EXPECT_EQ(now[2].attributes, static_cast<DWORD>(PRINTER_ATTRIBUTE_LOCAL)) << "two bytes are not a number";
    EXPECT_EQ(now[2].priority, 5u);

    // Gone through the spooler here, and through the registry in another process.
    ASSERT_TRUE(OpenPrinterW(name, &h, &all));
    EXPECT_TRUE(SetPrinterW(h, 0, nullptr, PRINTER_CONTROL_PURGE));
    EXPECT_TRUE(DeletePrinter(h));
    ClosePrinter(h);
    ASSERT_EQ(Tool("reg delete 'HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Gamma Raw'").status, 0);
    EXPECT_EQ(Enumerated(), FromRegistry());
    EXPECT_EQ(LocalPrinterNames(), std::vector<std::u16string>{u"Alpha"});
}

TEST_F(SpoolerIndexTest, SizeCallAndFillCallSeeOneListUnlessTheMachineChangesBetween) {
    AddDriverAndPrinter("Alpha");
    DWORD needed = 0, returned = 0;
    EXPECT_FALSE(EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned));
    std::vector<BYTE> buffer(needed);
    DWORD again = 0;
    ASSERT_TRUE(EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), needed, &again, &returned));
    EXPECT_EQ(again, needed);
    EXPECT_EQ(returned, 1u);

    // Another process adds a printer between the two calls: the fill call finds the buffer
    // too small, as Windows' does, and says how much is needed now.
    EXPECT_FALSE(EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned));
    ASSERT_EQ(Tool("printer add Second --driver Alpha --port LPT2:").status, 0);
    buffer.assign(needed, 0);
    SetLastError(kPoison);
    EXPECT_FALSE(EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), needed, &again, &returned));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_GT(again, needed);
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(LocalPrinterNames(), (std::vector<std::u16string>{u"Alpha", u"Second"}));
}

TEST_F(SpoolerIndexTest, OneNameQuestionsAreLookedUp) {
    AddDriverAndPrinter("Alpha");
    WriteRawPrinter(u"Raw");  // uses the driver as "ALPHA"
    ASSERT_EQ(Tool("printer add '\\\\server\\share' --driver Alpha").status, 0);
    struct Case {
        std::u16string name;
        bool exists;
    } cases[] = {{u"Alpha", true}, {u"aLPHA", true}, {u"raw", true}, {u"Alph", false}, {u"\\\\server\\share", false},
                 {u"", false}};
    // A name is opened by lookup; a connection's name is not a local printer's.
    for (const auto& c : cases) {
        std::u16string name = c.name;
        HANDLE printer = nullptr;
        SetLastError(kPoison);
        BOOL opened = OpenPrinterW(name.data(), &printer, nullptr);
        bool local = opened && !name.starts_with(u"\\\\");
        EXPECT_EQ(local, c.exists) << sim::ToUtf8(c.name);
        if (opened) ClosePrinter(printer);
        else EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME)) << sim::ToUtf8(c.name);
    }
    ASSERT_EQ(Tool("fault set OpenPrinterW 1722 --once").status, 0);
    HANDLE handle = nullptr;
    WCHAR alpha[] = u"Alpha";
    SetLastError(kPoison);
    EXPECT_FALSE(OpenPrinterW(alpha, &handle, nullptr));
    EXPECT_EQ(GetLastError(), 1722u);
    ASSERT_EQ(Tool("service Spooler stop").status, 0);
    SetLastError(kPoison);
    EXPECT_FALSE(OpenPrinterW(alpha, &handle, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE));
    ASSERT_EQ(Tool("service Spooler start").status, 0);

    // The driver is in use by both printers, whatever the letters' case; the connection's
    // driver belongs to the other machine.
    WCHAR driver[] = u"Alpha";
    for (const char* printer : {"Alpha", "Raw"}) {
        SetLastError(kPoison);
        EXPECT_FALSE(DeletePrinterDriverExW(nullptr, nullptr, driver, DPD_DELETE_UNUSED_FILES, 3)) << printer;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRINTER_DRIVER_IN_USE));
        ASSERT_EQ(Tool(std::string("printer delete ") + printer).status, 0);
    }
    EXPECT_TRUE(DeletePrinterDriverExW(nullptr, nullptr, driver, DPD_DELETE_UNUSED_FILES, 3)) << GetLastError();
}

TEST_F(SpoolerIndexTest, AMachineWithoutTheIndexGetsOneWhenOpened) {
    AddDriverAndPrinter("Alpha");
    WriteRawPrinter(u"Raw");
    ASSERT_EQ(Tool("job add Alpha one").status, 0);
    auto expected = FromRegistry();
    // As a machine made before the index was: no tables, no triggers, no version.
    sim::spool::DropPrinterIndex(sim::CurrentMachine().Db());
    sim::UseMachine(m_folder);
    EXPECT_EQ(Enumerated(), expected);
    ASSERT_EQ(Tool("printer add Later --driver Alpha --port FILE:").status, 0);
    EXPECT_EQ(Enumerated(), FromRegistry()) << "the triggers are back";
    EXPECT_EQ(Enumerated().size(), 3u);
}

namespace {

// A registry file of count printers named "prefix NNNNN" on LPT1: with driver Alpha.
std::string PrintersFile(const std::string& prefix, int count) {
    std::string text = "REGEDIT4\r\n";
    char name[64];
    for (int i = 0; i < count; ++i) {
        std::snprintf(name, sizeof name, "%s %05d", prefix.c_str(), i);
        text += std::string("\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\") + name +
                "]\r\n\"Name\"=\"" + name + "\"\r\n\"Port\"=\"LPT1:\"\r\n\"Printer Driver\"=\"Alpha\"\r\n"
                "\"Attributes\"=dword:00000040\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\"
                "Printers\\" + name + "\\Jobs]\r\n";
    }
    return text;
}

std::optional<int64_t> SnapshotGen(sim::Store& db) {
    return db.Read([&]() -> std::optional<int64_t> {
        auto s = db.Prepare("SELECT snapshot_gen FROM spool_state");
        if (!s.Step() || s.IsNull(0)) return std::nullopt;
        return s.Int(0);
    });
}

}  // namespace

TEST_F(SpoolerIndexTest, SnapshotsCarryTheTableToNewProcessesAndPastTheirPruning) {
    AddDriverAndPrinter("Alpha");
    auto import = [&](const std::string& prefix, int count) {
        std::string file = (m_folder.parent_path() / (prefix + ".reg")).string();
        std::ofstream(file, std::ios::binary) << PrintersFile(prefix, count);
        auto r = Tool("reg import '" + file + "'");
        ASSERT_EQ(r.status, 0) << r.out;
    };
    import("Till", 300);
    auto& db = sim::CurrentMachine().Db();
    EXPECT_FALSE(SnapshotGen(db));
    EXPECT_EQ(Enumerated().size(), 301u);
    auto first = SnapshotGen(db);
    ASSERT_TRUE(first) << "a reader of 301 printers leaves a snapshot";

    // Changes by another process, then a new process: the snapshot and what came after it.
    ASSERT_EQ(Tool("printer delete 'Till 00005'").status, 0);
    ASSERT_EQ(Tool("reg set 'HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Till 00007' Location REG_SZ "
                   "moved")
                  .status,
              0);
    import("Added", 2);
    sim::UseMachine(m_folder);
    EXPECT_EQ(Enumerated(), FromRegistry());
    EXPECT_EQ(SnapshotGen(sim::CurrentMachine().Db()), first) << "two printers do not call for a new snapshot";

    // Another connection finds the snapshot overtaken by 300 more printers and writes a new
    // one, dropping the removals it covers; this process's table is older than that.
    ASSERT_EQ(Tool("printer delete 'Till 00009'").status, 0);
    import("More", 300);
    std::string error;
    auto other = sim::Machine::Open(m_folder, nullptr, &error);
    ASSERT_TRUE(other) << error;
    EXPECT_EQ(other->Db().Read([&] { return sim::spool::LocalPrinterTable(other->Db())->Size(); }), 601u);
    sim::spool::SaveDueSnapshot(other->Db());
    EXPECT_GT(SnapshotGen(other->Db()).value_or(0), *first);
    auto now = Enumerated();
    EXPECT_EQ(now, FromRegistry());
    EXPECT_EQ(now.size(), 601u);
}
