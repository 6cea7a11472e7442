#include "spooler_store.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <unordered_set>

#include "regtree.h"
#include "services_state.h"
#include "spooler_index.h"
#include "text.h"
#include "win32/errors.h"
#include "win32/registry.h"
#include "win32/spooler.h"

namespace sim::spool {
namespace {

using Path = std::vector<std::u16string>;

const Path kPrint = {u"SYSTEM", u"CurrentControlSet", u"Control", u"Print"};
const Path kPorts = {u"SOFTWARE", u"Microsoft", u"Windows NT", u"CurrentVersion", u"Ports"};
const Path kConnections = {u"Printers", u"Connections"};
const Path kWindows = {u"Software", u"Microsoft", u"Windows NT", u"CurrentVersion", u"Windows"};

Path Under(Path base, std::initializer_list<std::u16string_view> more) {
    for (auto m : more) base.emplace_back(m);
    return base;
}

int64_t Find(Store& db, int64_t root, const Path& path) { return reg::FindPath(db, root, path); }
int64_t Make(Store& db, int64_t root, const Path& path) {
    return reg::CreatePath(db, root, path, nullptr);
}

std::u16string FromData(const std::string& data) {
    std::u16string s(data.size() / 2, u'\0');
    std::memcpy(s.data(), data.data(), s.size() * 2);
    while (!s.empty() && s.back() == 0) s.pop_back();
    return s;
}

std::vector<std::u16string> ReadMulti(Store& db, int64_t key, std::u16string_view name) {
    std::vector<std::u16string> out;
    auto v = reg::GetValue(db, key, name);
    if (!v) return out;
    std::u16string all(v->data.size() / 2, u'\0');
    std::memcpy(all.data(), v->data.data(), all.size() * 2);
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find(u'\0', start);
        if (end == std::u16string::npos) end = all.size();
        if (end == start) break;
        out.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

void WriteMulti(Store& db, int64_t key, std::u16string_view name,
                const std::vector<std::u16string>& list) {
    std::u16string all;
    for (const auto& s : list) {
        all += s;
        all.push_back(0);
    }
    all.push_back(0);
    reg::SetValue(db, key, name, REG_MULTI_SZ,
                  std::string_view(reinterpret_cast<const char*>(all.data()), all.size() * 2));
}

// Connections are keyed ",,server,share": the name with its backslashes as commas.
std::u16string ConnectionKeyName(std::u16string_view name) {
    std::u16string key(name);
    std::replace(key.begin(), key.end(), u'\\', u',');
    return key;
}

std::u16string ConnectionName(std::u16string_view keyName) {
    std::u16string name(keyName);
    std::replace(name.begin(), name.end(), u',', u'\\');
    return name;
}

Printer ReadConnection(Store& db, int64_t key) {
    Printer p;
    p.key = key;
    p.connection = true;
    p.name = ConnectionName(reg::KeyName(db, key));
    p.server = ReadString(db, key, u"Server");
    size_t cut = p.name.rfind(u'\\');
    p.shareName = cut == std::u16string::npos ? u"" : p.name.substr(cut + 1);
    p.driver = ReadString(db, key, u"Printer Driver");
    p.printProcessor = u"winprint";
    p.datatype = u"RAW";
    p.attributes = PRINTER_ATTRIBUTE_NETWORK;
    return p;
}

std::u16string JobKeyName(DWORD id) {
    std::string n = std::to_string(id);
    if (n.size() < 5) n.insert(0, 5 - n.size(), '0');
    return ToUtf16(n);
}

Port MakePort(std::u16string name, Monitor monitor) {
    bool zh = ChineseMachine();
    Port p{std::move(name), monitor, {}, {}, PORT_TYPE_WRITE};
    switch (monitor) {
        case Monitor::Local:
            p.monitorName = zh ? u"本地监视器" : u"Local Monitor";
            p.description = zh ? u"本地端口" : u"Local Port";
            p.type = PORT_TYPE_WRITE | PORT_TYPE_READ;
            break;
        case Monitor::Usb:
            p.monitorName = u"Dynamic Print Monitor";
            p.description = zh ? u"USB 虚拟打印机端口" : u"Virtual printer port for USB";
            p.type = PORT_TYPE_WRITE | PORT_TYPE_READ;
            break;
        case Monitor::TcpIp:
            p.monitorName = u"Standard TCP/IP Port";
            p.description = zh ? u"标准 TCP/IP 端口" : u"Standard TCP/IP Port";
            p.type = PORT_TYPE_WRITE | PORT_TYPE_READ | PORT_TYPE_NET_ATTACHED;
            break;
    }
    return p;
}

const Path& MonitorPorts(Monitor monitor) {
    static const Path usb = Under(kPrint, {u"Monitors", u"USB Monitor", u"Ports"});
    static const Path tcp = Under(kPrint, {u"Monitors", u"Standard TCP/IP Port", u"Ports"});
    return monitor == Monitor::Usb ? usb : tcp;
}

bool HasFile(const Driver& d, std::u16string_view file) {
    for (const auto& f : d.Files())
        if (EqualsNoCase(f, file)) return true;
    return false;
}

}  // namespace

DWORD ReadDword(Store& db, int64_t key, std::u16string_view name, DWORD fallback) {
    auto v = reg::GetValue(db, key, name);
    if (!v || v->data.size() < 4) return fallback;
    DWORD d;
    std::memcpy(&d, v->data.data(), 4);
    return d;
}

std::u16string ReadString(Store& db, int64_t key, std::u16string_view name) {
    auto v = reg::GetValue(db, key, name);
    return v ? FromData(v->data) : std::u16string();
}

bool ChineseMachine() { return CurrentMachine().Settings().lang == 2052; }

DWORD SpoolerAvailable(Store& db) {
    return svc::SpoolerRunning(db) ? ERROR_SUCCESS : RPC_S_SERVER_UNAVAILABLE;
}

// ---- Printers -------------------------------------------------------------------------

std::vector<Printer> LocalPrinters(Store& db) {
    auto table = LocalPrinterTable(db);
    std::vector<Printer> out;
    out.reserve(table->Size());
    for (size_t i = 0; i < table->Size(); ++i) out.push_back(table->ToPrinter(table->At(i)));
    return out;
}

std::vector<Printer> Connections(Store& db) {
    std::vector<Printer> out;
    int64_t connections = Find(db, reg::kCurrentUser, kConnections);
    if (!connections) return out;
    for (const auto& name : reg::SubKeys(db, connections))
        out.push_back(ReadConnection(db, reg::FindChild(db, connections, name)));
    return out;
}

std::optional<Printer> FindPrinter(Store& db, std::u16string_view name) {
    if (name.empty()) return std::nullopt;
    if (name.substr(0, 2) == u"\\\\") {
        int64_t connections = Find(db, reg::kCurrentUser, kConnections);
        int64_t key = connections ? reg::FindChild(db, connections, ConnectionKeyName(name)) : 0;
        if (!key) return std::nullopt;
        return ReadConnection(db, key);
    }
    if (!ValidPrinterName(name)) return std::nullopt;
    int64_t printers = PrintersKey(db);
    int64_t key = printers ? reg::FindChild(db, printers, name) : 0;
    if (!key) return std::nullopt;
    return ReadIndexedPrinter(db, key);
}

std::optional<Printer> PrinterByKey(Store& db, int64_t key, bool connection) {
    if (!connection) return ReadIndexedPrinter(db, key);
    if (!reg::KeyExists(db, key)) return std::nullopt;
    return ReadConnection(db, key);
}

bool ValidPrinterName(std::u16string_view name) {
    if (name.empty() || name.size() > 220) return false;
    return name.find_first_of(u"\\,") == std::u16string_view::npos;
}

DWORD CreatePrinter(Store& db, const NewPrinter& p, int64_t* key) {
    if (!ValidPrinterName(p.name)) return ERROR_INVALID_PRINTER_NAME;
    if (FindPrinter(db, p.name)) return ERROR_PRINTER_ALREADY_EXISTS;
    if (!PortExists(db, p.port)) return ERROR_UNKNOWN_PORT;
    if (!FindDriver(db, CurrentEnvironment(), p.driver)) return ERROR_UNKNOWN_PRINTER_DRIVER;
    std::u16string processor = p.printProcessor.empty() ? u"winprint" : p.printProcessor;
    if (!EqualsNoCase(processor, u"winprint")) return ERROR_UNKNOWN_PRINTPROCESSOR;
    int64_t k = Make(db, reg::kLocalMachine, Under(kPrint, {u"Printers", p.name}));
    reg::SetString(db, k, u"Name", p.name);
    reg::SetString(db, k, u"Share Name", p.shareName);
    reg::SetString(db, k, u"Port", p.port);
    reg::SetString(db, k, u"Printer Driver", p.driver);
    reg::SetString(db, k, u"Description", p.comment);
    reg::SetString(db, k, u"Location", p.location);
    reg::SetString(db, k, u"Separator File", p.sepFile);
    reg::SetString(db, k, u"Print Processor", u"winprint");
    reg::SetString(db, k, u"Datatype", p.datatype.empty() ? u"RAW" : p.datatype);
    reg::SetString(db, k, u"Parameters", p.parameters);
    // A printer of this machine is local whatever the caller's attributes say.
    DWORD attributes = (p.attributes & ~static_cast<DWORD>(PRINTER_ATTRIBUTE_NETWORK)) |
                       PRINTER_ATTRIBUTE_LOCAL;
    reg::SetDword(db, k, u"Attributes", attributes);
    reg::SetDword(db, k, u"Priority", p.priority ? p.priority : 1);
    reg::SetDword(db, k, u"Default Priority", p.defaultPriority);
    reg::SetDword(db, k, u"StartTime", p.startTime);
    reg::SetDword(db, k, u"UntilTime", p.untilTime);
    reg::SetDword(db, k, u"Status", 0);
    FillDriverFold(db, k, p.driver);
    CrashPoint("spooler-add-printer");
    Make(db, k, {u"Jobs"});
    if (key) *key = k;
    return ERROR_SUCCESS;
}

DWORD AddConnection(Store& db, std::u16string_view name, std::u16string_view driver) {
    // "\\server\share": a server and a share, neither empty.
    if (name.substr(0, 2) != u"\\\\") return ERROR_INVALID_PRINTER_NAME;
    size_t cut = name.find(u'\\', 2);
    if (cut == std::u16string_view::npos || cut == 2 || cut + 1 >= name.size() ||
        name.find_first_of(u"\\,", cut + 1) != std::u16string_view::npos)
        return ERROR_INVALID_PRINTER_NAME;
    if (FindPrinter(db, name)) return ERROR_PRINTER_ALREADY_EXISTS;
    Path path = kConnections;
    path.push_back(ConnectionKeyName(name));
    int64_t k = Make(db, reg::kCurrentUser, path);
    reg::SetString(db, k, u"Server", name.substr(0, cut));
    reg::SetString(db, k, u"Provider", u"win32spl.dll");
    reg::SetString(db, k, u"Printer Driver", driver);
    return ERROR_SUCCESS;
}

DWORD RemovePrinter(Store& db, const Printer& p, bool* gone) {
    auto current = DefaultPrinter(db);
    bool wasDefault = current && EqualsNoCase(*current, p.name);
    auto now = p.connection ? std::nullopt : ReadIndexedPrinter(db, p.key);
    if (now && now->jobs > 0) {
        // Windows keeps a printer with queued jobs until they are done.
        reg::SetDword(db, p.key, u"Status",
                      ReadDword(db, p.key, u"Status") | PRINTER_STATUS_PENDING_DELETION);
        if (gone) *gone = false;
        return ERROR_SUCCESS;
    }
    reg::DeleteTree(db, p.key);
    if (wasDefault) ClearDefaultPrinter(db);
    if (gone) *gone = true;
    return ERROR_SUCCESS;
}

void PurgeJobs(Store& db, const Printer& p) {
    if (p.connection) return;
    if (int64_t jobs = reg::FindChild(db, p.key, u"Jobs")) {
        reg::DeleteTree(db, jobs);
        Make(db, p.key, {u"Jobs"});
    }
    if (ReadDword(db, p.key, u"Status") & PRINTER_STATUS_PENDING_DELETION) {
        if (auto now = ReadIndexedPrinter(db, p.key)) RemovePrinter(db, *now);
    }
}

void SetStatus(Store& db, const Printer& p, DWORD status) {
    if (!p.connection) reg::SetDword(db, p.key, u"Status", status);
}

// ---- Jobs -----------------------------------------------------------------------------

std::vector<Job> Jobs(Store& db, const Printer& p) {
    std::vector<Job> out;
    int64_t jobs = p.connection ? 0 : reg::FindChild(db, p.key, u"Jobs");
    if (!jobs) return out;
    for (const auto& name : reg::SubKeys(db, jobs)) {
        int64_t k = reg::FindChild(db, jobs, name);
        Job j;
        j.id = static_cast<DWORD>(std::stoul(ToUtf8(name)));
        j.printer = p.name;
        j.document = ReadString(db, k, u"Document");
        j.status = ReadDword(db, k, u"Status");
        j.pages = ReadDword(db, k, u"Pages", 1);
        auto v = reg::GetValue(db, k, u"Submitted");
        if (v && v->data.size() == 8) std::memcpy(&j.submitted, v->data.data(), 8);
        out.push_back(std::move(j));
    }
    return out;
}

DWORD AddJob(Store& db, const Printer& p, std::u16string_view document, DWORD* id) {
    if (p.connection) return ERROR_NOT_SUPPORTED;
    if (p.status & PRINTER_STATUS_PENDING_DELETION) return ERROR_INVALID_PRINTER_STATE;
    int64_t print = Make(db, reg::kLocalMachine, kPrint);
    DWORD next = ReadDword(db, print, u"NextJobId", 1);
    if (next == 0 || next > 99999) next = 1;
    reg::SetDword(db, print, u"NextJobId", next + 1);
    int64_t k = Make(db, p.key, {u"Jobs", JobKeyName(next)});
    reg::SetString(db, k, u"Document", document);
    reg::SetDword(db, k, u"Status", 0);
    reg::SetDword(db, k, u"Pages", 1);
    uint64_t now = static_cast<uint64_t>(std::time(nullptr));
    reg::SetValue(db, k, u"Submitted", REG_QWORD,
                  std::string_view(reinterpret_cast<const char*>(&now), 8));
    if (id) *id = next;
    return ERROR_SUCCESS;
}

// ---- Drivers --------------------------------------------------------------------------

const std::vector<Environment>& Environments() {
    static const std::vector<Environment> envs = {
        {u"Windows NT x86", u"w32x86", Arch::X86},
        {u"Windows x64", u"x64", Arch::X64},
        {u"Windows IA64", u"ia64", Arch::IA64},
        {u"Windows ARM64", u"arm64", Arch::ARM64},
    };
    return envs;
}

const Environment* FindEnvironment(std::u16string_view name) {
    if (name.empty()) return &CurrentEnvironment();
    for (const auto& e : Environments())
        if (EqualsNoCase(e.name, name)) return &e;
    return nullptr;
}

const Environment& CurrentEnvironment() {
    Arch arch = CurrentMachine().Settings().arch;
    for (const auto& e : Environments())
        if (e.arch == arch) return e;
    return Environments()[1];
}

std::vector<std::u16string> Driver::Files() const {
    std::vector<std::u16string> out;
    std::unordered_set<std::u16string> seen;  // folded: a driver may name thousands
    auto add = [&](const std::u16string& f) {
        if (f.empty() || !seen.insert(Fold(f)).second) return;
        out.push_back(f);
    };
    add(driverFile);
    add(dataFile);
    add(configFile);
    add(helpFile);
    for (const auto& f : dependentFiles) add(f);
    return out;
}

std::u16string DriverDirectory(const Environment& env) {
    return std::u16string(u"C:\\Windows\\System32\\spool\\drivers\\") + env.directory;
}

std::u16string DriverVersionDirectory(const Environment& env, DWORD version) {
    return DriverDirectory(env) + u"\\" + ToUtf16(std::to_string(version));
}

std::u16string DriverFilePath(const Driver& d, std::u16string_view file) {
    if (file.empty()) return {};
    return DriverVersionDirectory(*d.env, d.version) + u"\\" + std::u16string(file);
}

namespace {

Path DriversPath(const Environment& env) {
    return Under(kPrint, {u"Environments", env.name, u"Drivers", u"Version-3"});
}

Driver ReadDriver(Store& db, int64_t key, const Environment& env) {
    Driver d;
    d.key = key;
    d.env = &env;
    d.name = reg::KeyName(db, key);
    d.version = ReadDword(db, key, u"Version", 3);
    d.driverFile = ReadString(db, key, u"Driver");
    d.dataFile = ReadString(db, key, u"Data File");
    d.configFile = ReadString(db, key, u"Configuration File");
    d.helpFile = ReadString(db, key, u"Help File");
    d.dependentFiles = ReadMulti(db, key, u"Dependent Files");
    d.monitor = ReadString(db, key, u"Monitor");
    d.datatype = ReadString(db, key, u"Datatype");
    d.heldInRun = ReadDword(db, key, u"Held In Spooler Run", 0);
    return d;
}

}  // namespace

std::vector<Driver> Drivers(Store& db, const Environment& env) {
    std::vector<Driver> out;
    int64_t drivers = Find(db, reg::kLocalMachine, DriversPath(env));
    if (!drivers) return out;
    for (const auto& name : reg::SubKeys(db, drivers))
        out.push_back(ReadDriver(db, reg::FindChild(db, drivers, name), env));
    return out;
}

std::optional<Driver> FindDriver(Store& db, const Environment& env, std::u16string_view name) {
    if (name.empty() || name.find(u'\\') != std::u16string_view::npos) return std::nullopt;
    int64_t drivers = Find(db, reg::kLocalMachine, DriversPath(env));
    int64_t key = drivers ? reg::FindChild(db, drivers, name) : 0;
    if (!key) return std::nullopt;
    return ReadDriver(db, key, env);
}

void PutDriver(Store& db, const Driver& d) {
    Path path = DriversPath(*d.env);
    path.push_back(d.name);
    int64_t key = reg::FindPath(db, reg::kLocalMachine, path);
    if (key) reg::DeleteTree(db, key);  // an upgrade replaces the record whole
    key = Make(db, reg::kLocalMachine, path);
    reg::SetDword(db, key, u"Version", d.version);
    reg::SetString(db, key, u"Driver", d.driverFile);
    reg::SetString(db, key, u"Data File", d.dataFile);
    reg::SetString(db, key, u"Configuration File", d.configFile);
    reg::SetString(db, key, u"Help File", d.helpFile);
    WriteMulti(db, key, u"Dependent Files", d.dependentFiles);
    reg::SetString(db, key, u"Monitor", d.monitor);
    reg::SetString(db, key, u"Datatype", d.datatype);
}

bool DriverInUse(Store& db, const Driver& d) {
    // Printers use the drivers of the machine's own environment.
    if (d.env != &CurrentEnvironment()) return DriverHeld(db, d);
    return IndexedDriverInUse(db, d.name) || DriverHeld(db, d);
}

bool DriverHeld(Store& db, const Driver& d) {
    return d.heldInRun != 0 && d.heldInRun == svc::SpoolerRunCount(db);
}

void HoldDriver(Store& db, const Driver& d) {
    reg::SetDword(db, d.key, u"Held In Spooler Run", std::max<DWORD>(svc::SpoolerRunCount(db), 1));
}

void RemoveDriver(Store& db, const Driver& d, std::vector<std::u16string>* unusedFiles) {
    std::vector<Driver> others;
    for (auto& o : Drivers(db, *d.env))
        if (o.key != d.key && o.version == d.version) others.push_back(std::move(o));
    if (unusedFiles) {
        for (const auto& f : d.Files()) {
            bool shared = std::any_of(others.begin(), others.end(),
                                      [&](const Driver& o) { return HasFile(o, f); });
            if (!shared) unusedFiles->push_back(f);
        }
    }
    reg::DeleteTree(db, d.key);
}

// ---- Ports ----------------------------------------------------------------------------

std::vector<Port> Ports(Store& db) {
    std::vector<Port> out;
    if (int64_t local = Find(db, reg::kLocalMachine, kPorts))
        for (auto& v : reg::Values(db, local))
            if (!v.name.empty()) out.push_back(MakePort(std::move(v.name), Monitor::Local));
    for (Monitor m : {Monitor::Usb, Monitor::TcpIp})
        if (int64_t key = Find(db, reg::kLocalMachine, MonitorPorts(m)))
            for (auto& name : reg::SubKeys(db, key)) out.push_back(MakePort(std::move(name), m));
    return out;
}

bool PortExists(Store& db, std::u16string_view name) {
    if (name.empty()) return false;
    // A local port is a value of the Ports key, the others keys of their monitor.
    if (int64_t local = Find(db, reg::kLocalMachine, kPorts))
        if (reg::GetValue(db, local, name)) return true;
    for (Monitor m : {Monitor::Usb, Monitor::TcpIp})
        if (int64_t key = Find(db, reg::kLocalMachine, MonitorPorts(m)))
            if (reg::FindChild(db, key, name)) return true;
    return false;
}

DWORD AddPort(Store& db, std::u16string_view name, Monitor monitor) {
    if (name.empty() || name.size() > 255 || name.find_first_of(u"\\,") != std::u16string_view::npos)
        return ERROR_INVALID_PARAMETER;
    if (PortExists(db, name)) return ERROR_ALREADY_EXISTS;
    if (monitor == Monitor::Local) {
        int64_t ports = Make(db, reg::kLocalMachine, kPorts);
        // Serial ports carry their default settings; the others have none.
        bool serial = name.size() > 3 && EqualsNoCase(name.substr(0, 3), u"COM");
        reg::SetString(db, ports, name, serial ? u"9600,n,8,1" : u"");
        return ERROR_SUCCESS;
    }
    Path path = MonitorPorts(monitor);
    path.emplace_back(name);
    int64_t key = Make(db, reg::kLocalMachine, path);
    if (monitor == Monitor::TcpIp) {
        std::u16string host(name);
        if (host.size() > 3 && EqualsNoCase(host.substr(0, 3), u"IP_")) host.erase(0, 3);
        reg::SetString(db, key, u"HostName", host);
        reg::SetString(db, key, u"IPAddress", host);
        reg::SetDword(db, key, u"PortNumber", 9100);
        reg::SetDword(db, key, u"Protocol", 1);
    } else {
        reg::SetString(db, key, u"Description", u"Virtual printer port for USB");
    }
    return ERROR_SUCCESS;
}

DWORD DeletePort(Store& db, std::u16string_view name) {
    auto printers = LocalPrinterTable(db);
    for (size_t i = 0; i < printers->Size(); ++i)
        if (EqualsNoCase(printers->Text(printers->At(i), PrinterTable::kPort), name)) return ERROR_BUSY;
    if (int64_t local = Find(db, reg::kLocalMachine, kPorts))
        if (reg::DeleteValue(db, local, name)) return ERROR_SUCCESS;
    for (Monitor m : {Monitor::Usb, Monitor::TcpIp}) {
        int64_t key = Find(db, reg::kLocalMachine, MonitorPorts(m));
        int64_t port = key ? reg::FindChild(db, key, name) : 0;
        if (port) {
            reg::DeleteTree(db, port);
            return ERROR_SUCCESS;
        }
    }
    return ERROR_UNKNOWN_PORT;
}

// ---- The default printer --------------------------------------------------------------

std::optional<std::u16string> DefaultPrinter(Store& db) {
    int64_t key = Find(db, reg::kCurrentUser, kWindows);
    if (!key) return std::nullopt;
    std::u16string device = ReadString(db, key, u"Device");
    size_t comma = device.find(u',');
    std::u16string name = device.substr(0, comma);
    if (name.empty()) return std::nullopt;
    return name;
}

void MakeDefault(Store& db, const Printer& p) {
    int64_t key = Make(db, reg::kCurrentUser, kWindows);
    reg::SetString(db, key, u"Device", p.name + u",winspool,Ne00:");
}

void ClearDefaultPrinter(Store& db) {
    if (int64_t key = Find(db, reg::kCurrentUser, kWindows)) reg::DeleteValue(db, key, u"Device");
}

}  // namespace sim::spool
