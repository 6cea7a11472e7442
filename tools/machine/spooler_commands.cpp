// drovan-machine's spooler and service verbs. They shape the machine the way an
// administrator does, working on the spooler's records directly, so they also work while
// the spooler service is stopped (when the machine's programs get RPC_S_SERVER_UNAVAILABLE).
#include <cstdlib>
#include <iostream>
#include <utility>

#include "commands.h"
#include "json.h"
#include "platform/sim/clock.h"
#include "platform/sim/devices.h"
#include "platform/sim/machine.h"
#include "platform/sim/paths.h"
#include "platform/sim/services_state.h"
#include "platform/sim/spooler_drivers.h"
#include "platform/sim/spooler_store.h"
#include "platform/sim/text.h"
#include "platform/win32.h"

namespace fs = std::filesystem;
using sim::ToUtf16;
using sim::ToUtf8;
namespace spool = sim::spool;

namespace tool {
namespace {

std::string Why(DWORD error) {
    switch (error) {
        case ERROR_INVALID_PRINTER_NAME: return "not a valid printer name, or no such printer";
        case ERROR_PRINTER_ALREADY_EXISTS: return "a printer of that name exists";
        case ERROR_UNKNOWN_PORT: return "no such port";
        case ERROR_UNKNOWN_PRINTER_DRIVER: return "no such printer driver";
        case ERROR_PRINTER_DRIVER_IN_USE: return "the driver is in use (by a printer, or held by the spooler)";
        case ERROR_FILE_NOT_FOUND: return "a driver file was not found";
        case ERROR_ALREADY_EXISTS: return "a port of that name exists";
        case ERROR_BUSY: return "a printer uses that port";
        case ERROR_INVALID_PARAMETER: return "a name is empty, too long or has a backslash or comma";
        case ERROR_INVALID_ENVIRONMENT: return "no such environment";
        case ERROR_INVALID_PRINTER_STATE: return "the printer is being deleted";
        case ERROR_NOT_SUPPORTED: return "a connection has no queue on this machine";
        case ERROR_SERVICE_NOT_ACTIVE: return "the service is not running";
        case ERROR_SERVICE_ALREADY_RUNNING: return "the service is running, or on its way";
        case ERROR_SERVICE_CANNOT_ACCEPT_CTRL: return "the service is starting or stopping";
        case ERROR_SERVICE_DISABLED: return "the service is disabled";
        case ERROR_ACCESS_DENIED: return "a file could not be written";
        default: return "error " + std::to_string(error);
    }
}

// done: what was done; attempt: what was tried, for the message when it was refused.
int Report(Context& c, DWORD error, const std::string& done, const std::string& attempt) {
    const std::string& what = done;
    if (error) return Refused(c, "cannot " + attempt + ": " + Why(error) + " (error " + std::to_string(error) + ")");
    if (c.json) *c.out << "{\"done\":" << JsonString(what) << "}\n";
    else *c.out << what << "\n";
    return 0;
}

const char* StateName(DWORD state) {
    switch (state) {
        case SERVICE_STOPPED: return "stopped";
        case SERVICE_START_PENDING: return "start pending";
        case SERVICE_STOP_PENDING: return "stop pending";
        case SERVICE_RUNNING: return "running";
        default: return "unknown";
    }
}

std::string Status(DWORD status) {
    if (status == 0) return "ready";
    std::string s;
    auto add = [&](const char* w) { s += (s.empty() ? "" : ", ") + std::string(w); };
    if (status & PRINTER_STATUS_PAUSED) add("paused");
    if (status & PRINTER_STATUS_ERROR) add("error");
    if (status & PRINTER_STATUS_PENDING_DELETION) add("pending deletion");
    if (s.empty()) add("other");
    return s;
}

// Options of the form --name VALUE, gathered; the rest are positional.
struct Parsed {
    Args positional;
    std::vector<std::pair<std::string, std::string>> options;
    std::vector<std::string> flags;
    std::string error;
    const std::string* Get(const std::string& name) const {
        for (const auto& [n, v] : options)
            if (n == name) return &v;
        return nullptr;
    }
    bool Has(const std::string& flag) const {
        for (const auto& f : flags)
            if (f == flag) return true;
        return false;
    }
};

Parsed Parse(const Args& args, size_t from, std::initializer_list<const char*> valued,
             std::initializer_list<const char*> bare = {}) {
    Parsed p;
    for (size_t i = from; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            bool known = false;
            for (const char* v : valued)
                if (a == v) {
                    if (i + 1 >= args.size()) {
                        p.error = a + " needs a value";
                        return p;
                    }
                    p.options.emplace_back(a, args[++i]);
                    known = true;
                }
            for (const char* b : bare)
                if (a == b) {
                    p.flags.push_back(a);
                    known = true;
                }
            if (!known) {
                p.error = "unknown option '" + a + "'";
                return p;
            }
        } else {
            p.positional.push_back(a);
        }
    }
    return p;
}

const spool::Environment* EnvOption(Context& c, const Parsed& p, bool* bad) {
    *bad = false;
    const std::string* e = p.Get("--env");
    if (!e) return &spool::CurrentEnvironment();
    const spool::Environment* env = spool::FindEnvironment(ToUtf16(*e));
    if (!env || e->empty()) {
        *bad = true;
        Usage(c, "--env takes \"Windows NT x86\", \"Windows x64\", \"Windows IA64\" or \"Windows ARM64\", not '" +
                     *e + "'");
        return nullptr;
    }
    return env;
}

// A file for `driver add`: a Windows path as it is, a host path by its Windows name.
std::u16string WindowsFile(const std::string& given) {
    if (given.size() > 2 && given[1] == ':') return ToUtf16(given);
    return sim::WindowsPath(fs::absolute(given));
}

}  // namespace

int CmdPrinters(Context& c, const Args& args) {
    if (!args.empty()) return Usage(c, "printers takes no arguments");
    return OnMachine(c, [&](sim::Store& db) {
        auto [printers, def] = db.Read([&] {
            auto list = spool::LocalPrinters(db);
            for (auto& p : spool::Connections(db)) list.push_back(std::move(p));
            return std::pair{list, spool::DefaultPrinter(db)};
        });
        auto isDefault = [&def = def](const spool::Printer& p) { return def && sim::EqualsNoCase(*def, p.name); };
        if (c.json) {
            *c.out << "[";
            bool first = true;
            for (const auto& p : printers)
                *c.out << (std::exchange(first, false) ? "" : ",") << "{\"name\":" << JsonString(ToUtf8(p.name))
                       << ",\"connection\":" << (p.connection ? "true" : "false")
                       << ",\"driver\":" << JsonString(ToUtf8(p.driver)) << ",\"port\":" << JsonString(ToUtf8(p.port))
                       << ",\"attributes\":" << p.attributes << ",\"status\":" << p.status
                       << ",\"jobs\":" << p.jobs << ",\"default\":" << (isDefault(p) ? "true" : "false") << "}";
            *c.out << "]\n";
        } else {
            if (printers.empty()) *c.out << "no printers\n";
            for (const auto& p : printers)
                *c.out << (isDefault(p) ? "* " : "  ") << ToUtf8(p.name) << "  driver " << ToUtf8(p.driver)
                       << (p.connection ? "  (connection)" : "  port " + ToUtf8(p.port)) << "  "
                       << Status(p.status) << ", " << p.jobs << " job" << (p.jobs == 1 ? "" : "s") << "\n";
        }
        return 0;
    });
}

int CmdDrivers(Context& c, const Args& args) {
    Parsed p = Parse(args, 0, {"--env"});
    if (!p.error.empty()) return Usage(c, "drivers: " + p.error);
    if (!p.positional.empty()) return Usage(c, "drivers takes [--env E]");
    return OnMachine(c, [&](sim::Store& db) {
        bool bad = false;
        std::vector<const spool::Environment*> envs;
        if (p.Get("--env")) {
            auto e = EnvOption(c, p, &bad);
            if (bad) return 2;
            envs.push_back(e);
        } else {
            for (const auto& e : spool::Environments()) envs.push_back(&e);
        }
        struct Row {
            spool::Driver d;
            bool inUse, held;
        };
        auto rows = db.Read([&] {
            std::vector<Row> out;
            for (auto e : envs)
                for (auto& d : spool::Drivers(db, *e)) {
                    bool held = spool::DriverHeld(db, d);
                    bool inUse = spool::DriverInUse(db, d);
                    out.push_back({std::move(d), inUse, held});
                }
            return out;
        });
        if (c.json) {
            *c.out << "[";
            bool first = true;
            for (const auto& r : rows) {
                *c.out << (std::exchange(first, false) ? "" : ",") << "{\"name\":" << JsonString(ToUtf8(r.d.name))
                       << ",\"environment\":" << JsonString(ToUtf8(r.d.env->name)) << ",\"version\":" << r.d.version
                       << ",\"files\":[";
                bool f1 = true;
                for (const auto& f : r.d.Files())
                    *c.out << (std::exchange(f1, false) ? "" : ",") << JsonString(ToUtf8(spool::DriverFilePath(r.d, f)));
                *c.out << "],\"inUse\":" << (r.inUse ? "true" : "false") << ",\"held\":" << (r.held ? "true" : "false")
                       << "}";
            }
            *c.out << "]\n";
        } else {
            if (rows.empty()) *c.out << "no printer drivers\n";
            for (const auto& r : rows) {
                *c.out << ToUtf8(r.d.name) << "  (" << ToUtf8(r.d.env->name) << ", version " << r.d.version << ")"
                       << (r.held ? "  held by the spooler" : r.inUse ? "  in use" : "") << "\n";
                for (const auto& f : r.d.Files()) *c.out << "    " << ToUtf8(spool::DriverFilePath(r.d, f)) << "\n";
            }
        }
        return 0;
    });
}

int CmdPorts(Context& c, const Args& args) {
    if (!args.empty()) return Usage(c, "ports takes no arguments");
    return OnMachine(c, [&](sim::Store& db) {
        auto ports = db.Read([&] { return spool::Ports(db); });
        if (c.json) {
            *c.out << "[";
            bool first = true;
            for (const auto& p : ports)
                *c.out << (std::exchange(first, false) ? "" : ",") << "{\"name\":" << JsonString(ToUtf8(p.name))
                       << ",\"monitor\":" << JsonString(ToUtf8(p.monitorName))
                       << ",\"description\":" << JsonString(ToUtf8(p.description)) << "}";
            *c.out << "]\n";
        } else {
            for (const auto& p : ports)
                *c.out << ToUtf8(p.name) << "  " << ToUtf8(p.monitorName) << "  " << ToUtf8(p.description) << "\n";
        }
        return 0;
    });
}

int CmdJobs(Context& c, const Args& args) {
    if (args.size() > 1) return Usage(c, "jobs takes [PRINTER]");
    return OnMachine(c, [&](sim::Store& db) {
        bool missing = false;
        auto jobs = db.Read([&] {
            std::vector<spool::Job> out;
            std::vector<spool::Printer> printers;
            if (args.empty()) {
                printers = spool::LocalPrinters(db);
            } else if (auto p = spool::FindPrinter(db, ToUtf16(args[0]))) {
                printers.push_back(*p);
            } else {
                missing = true;
            }
            for (const auto& p : printers)
                for (auto& j : spool::Jobs(db, p)) out.push_back(std::move(j));
            return out;
        });
        if (missing) return Refused(c, "there is no printer '" + args[0] + "'");
        if (c.json) {
            *c.out << "[";
            bool first = true;
            for (const auto& j : jobs)
                *c.out << (std::exchange(first, false) ? "" : ",") << "{\"id\":" << j.id
                       << ",\"printer\":" << JsonString(ToUtf8(j.printer))
                       << ",\"document\":" << JsonString(ToUtf8(j.document)) << ",\"status\":" << j.status << "}";
            *c.out << "]\n";
        } else {
            if (jobs.empty()) *c.out << "no jobs\n";
            for (const auto& j : jobs)
                *c.out << j.id << "  " << ToUtf8(j.printer) << "  " << ToUtf8(j.document) << "\n";
        }
        return 0;
    });
}

int CmdPrinter(Context& c, const Args& args) {
    if (args.empty() || (args[0] != "add" && args[0] != "delete"))
        return Usage(c, "printer takes add NAME --driver D --port P, or delete NAME");
    Parsed p = Parse(args, 1, {"--driver", "--port"});
    if (!p.error.empty()) return Usage(c, "printer " + args[0] + ": " + p.error);
    if (p.positional.size() != 1) return Usage(c, "printer " + args[0] + " takes one printer name");
    std::u16string name = ToUtf16(p.positional[0]);
    bool connection = name.substr(0, 2) == u"\\\\";
    if (args[0] == "add") {
        if (!p.Get("--driver")) return Usage(c, "printer add needs --driver D");
        if (!connection && !p.Get("--port")) return Usage(c, "printer add needs --port P");
        if (connection && p.Get("--port")) return Usage(c, "a connection to another machine has no port here");
        return OnMachine(c, [&](sim::Store& db) {
            DWORD e = db.Write([&]() -> DWORD {
                if (connection) return spool::AddConnection(db, name, ToUtf16(*p.Get("--driver")));
                spool::NewPrinter np;
                np.name = name;
                np.driver = ToUtf16(*p.Get("--driver"));
                np.port = ToUtf16(*p.Get("--port"));
                return spool::CreatePrinter(db, np, nullptr);
            });
            return Report(c, e, "printer " + p.positional[0] + " added", "add printer " + p.positional[0]);
        });
    }
    if (!p.options.empty()) return Usage(c, "printer delete takes only the printer's name");
    return OnMachine(c, [&](sim::Store& db) {
        bool gone = true;
        DWORD e = db.Write([&]() -> DWORD {
            auto printer = spool::FindPrinter(db, name);
            if (!printer) return ERROR_INVALID_PRINTER_NAME;
            return spool::RemovePrinter(db, *printer, &gone);
        });
        if (!e && !gone)
            return Report(c, e, "printer " + p.positional[0] + " has jobs: marked for deletion when they are gone", "");
        return Report(c, e, "printer " + p.positional[0] + " deleted", "delete printer " + p.positional[0]);
    });
}

int CmdDriver(Context& c, const Args& args) {
    if (args.empty() || (args[0] != "add" && args[0] != "delete" && args[0] != "hold"))
        return Usage(c, "driver takes add NAME [--env E] [--file F...], delete NAME [--env E] or hold NAME [--env E]");
    const std::string verb = args[0];
    Parsed p = verb == "add" ? Parse(args, 1, {"--env", "--file"}) : Parse(args, 1, {"--env"});
    if (!p.error.empty()) return Usage(c, "driver " + verb + ": " + p.error);
    if (p.positional.size() != 1) return Usage(c, "driver " + verb + " takes one driver name");
    std::u16string name = ToUtf16(p.positional[0]);
    return OnMachine(c, [&](sim::Store& db) -> int {
        bool bad = false;
        const spool::Environment* env = EnvOption(c, p, &bad);
        if (bad) return 2;
        if (verb == "add") {
            spool::DriverSource src;
            src.name = name;
            src.env = env;
            std::vector<std::u16string> files;
            for (const auto& [n, v] : p.options)
                if (n == "--file") files.push_back(WindowsFile(v));
            // The first file is the driver itself (also its data and configuration file);
            // the others are its dependent files.
            if (!files.empty()) {
                src.driverPath = src.dataFile = src.configFile = files[0];
                src.dependentFiles.assign(files.begin() + 1, files.end());
            }
            src.datatype = u"RAW";
            return Report(c, spool::InstallDriver(src, APD_COPY_NEW_FILES, false),
                          "driver " + p.positional[0] + " added to " + ToUtf8(env->name), "add driver " + p.positional[0]);
        }
        if (verb == "delete")
            return Report(c, spool::DeleteDriver(*env, name, DPD_DELETE_UNUSED_FILES, 3, false),
                          "driver " + p.positional[0] + " deleted", "delete driver " + p.positional[0]);
        DWORD e = db.Write([&]() -> DWORD {
            auto d = spool::FindDriver(db, *env, name);
            if (!d) return ERROR_UNKNOWN_PRINTER_DRIVER;
            spool::HoldDriver(db, *d);
            return ERROR_SUCCESS;
        });
        return Report(c, e, "driver " + p.positional[0] + " held by the spooler until it restarts", "hold driver " + p.positional[0]);
    });
}

int CmdPort(Context& c, const Args& args) {
    if (args.empty() || (args[0] != "add" && args[0] != "delete"))
        return Usage(c, "port takes add NAME [--monitor local|usb|tcpip], or delete NAME");
    Parsed p = Parse(args, 1, {"--monitor"});
    if (!p.error.empty()) return Usage(c, "port " + args[0] + ": " + p.error);
    if (p.positional.size() != 1) return Usage(c, "port " + args[0] + " takes one port name");
    spool::Monitor monitor = spool::Monitor::Local;
    if (const std::string* m = p.Get("--monitor")) {
        if (args[0] != "add") return Usage(c, "port delete takes only the port's name");
        if (*m == "local") monitor = spool::Monitor::Local;
        else if (*m == "usb") monitor = spool::Monitor::Usb;
        else if (*m == "tcpip") monitor = spool::Monitor::TcpIp;
        else return Usage(c, "--monitor takes local, usb or tcpip, not '" + *m + "'");
    }
    std::u16string name = ToUtf16(p.positional[0]);
    return OnMachine(c, [&](sim::Store& db) {
        DWORD e = db.Write([&] {
            return args[0] == "add" ? spool::AddPort(db, name, monitor) : spool::DeletePort(db, name);
        });
        return Report(c, e, "port " + p.positional[0] + (args[0] == "add" ? " added" : " deleted"), args[0] + " port " + p.positional[0]);
    });
}

int CmdJob(Context& c, const Args& args) {
    if (args.empty() || args[0] != "add") return Usage(c, "job takes add PRINTER [DOCUMENT]");
    if (args.size() < 2 || args.size() > 3) return Usage(c, "job add takes PRINTER [DOCUMENT]");
    std::u16string document = args.size() == 3 ? ToUtf16(args[2]) : u"Untitled";
    return OnMachine(c, [&](sim::Store& db) {
        DWORD id = 0;
        DWORD e = db.Write([&]() -> DWORD {
            auto p = spool::FindPrinter(db, ToUtf16(args[1]));
            if (!p) return ERROR_INVALID_PRINTER_NAME;
            return spool::AddJob(db, *p, document, &id);
        });
        if (!e && c.json) {
            *c.out << "{\"job\":" << id << ",\"printer\":" << JsonString(args[1]) << "}\n";
            return 0;
        }
        return Report(c, e, "job " + std::to_string(id) + " queued on " + args[1], "queue a job on " + args[1]);
    });
}

int CmdDefault(Context& c, const Args& args) {
    if (args.size() > 1) return Usage(c, "default takes [NAME]");
    return OnMachine(c, [&](sim::Store& db) {
        if (args.size() == 1) {
            DWORD e = db.Write([&]() -> DWORD {
                auto p = spool::FindPrinter(db, ToUtf16(args[0]));
                if (!p) return ERROR_INVALID_PRINTER_NAME;
                spool::MakeDefault(db, *p);
                return ERROR_SUCCESS;
            });
            return Report(c, e, "default printer: " + args[0], "make " + args[0] + " the default printer");
        }
        auto def = db.Read([&] { return spool::DefaultPrinter(db); });
        if (c.json) *c.out << "{\"default\":" << (def ? JsonString(ToUtf8(*def)) : "null") << "}\n";
        else *c.out << (def ? ToUtf8(*def) : "no default printer") << "\n";
        return 0;
    });
}

int CmdService(Context& c, const Args& args) {
    Parsed p = Parse(args, 0, {}, {"--no-wait"});
    if (!p.error.empty()) return Usage(c, "service: " + p.error);
    if (p.positional.size() != 2 ||
        (p.positional[1] != "status" && p.positional[1] != "stop" && p.positional[1] != "start"))
        return Usage(c, "service takes NAME status|stop|start [--no-wait]");
    const std::string& verb = p.positional[1];
    std::u16string name = ToUtf16(p.positional[0]);
    return OnMachine(c, [&](sim::Store& db) -> int {
        int64_t key = db.Read([&] { return sim::svc::FindService(db, name); });
        if (!key) return Refused(c, "there is no service '" + p.positional[0] + "'");
        if (verb != "status") {
            DWORD e = db.Write([&] {
                return verb == "stop" ? sim::svc::RequestStop(db, key) : sim::svc::RequestStart(db, key);
            });
            if (e) return Refused(c, "cannot " + verb + " " + p.positional[0] + ": " + Why(e));
            // As an administrator's stop or start does, wait for the service to get there.
            if (!p.Has("--no-wait"))
                sim::clock::SleepFor(verb == "stop" ? sim::svc::kStopPendingMs : sim::svc::kStartPendingMs);
        }
        sim::svc::Status s = db.Read([&] { return sim::svc::Query(db, key); });
        if (c.json)
            *c.out << "{\"service\":" << JsonString(p.positional[0]) << ",\"state\":" << s.state
                   << ",\"stateName\":" << JsonString(StateName(s.state)) << ",\"runCount\":" << s.runCount << "}\n";
        else
            *c.out << p.positional[0] << ": " << StateName(s.state) << "\n";
        return 0;
    });
}

}  // namespace tool

namespace tool {

// usb attach ID SERIAL [--port N] | usb detach SERIAL | usb list
int CmdUsb(Context& c, const Args& args) {
    if (args.empty()) return Usage(c, "usb takes attach ID SERIAL [--port N], detach SERIAL or list");
    const std::string& verb = args[0];
    Parsed p = Parse(args, 1, {"--port"});
    if (!p.error.empty()) return Usage(c, "usb " + verb + ": " + p.error);
    if (verb == "list") {
        if (!p.positional.empty() || !p.options.empty()) return Usage(c, "usb list takes no arguments");
        return OnMachine(c, [&](sim::Store& db) {
            auto list = db.Read([&] { return sim::devices::Interfaces(db, sim::devices::kUsbDeviceClass); });
            if (c.json) {
                *c.out << "[";
                bool first = true;
                for (const auto& d : list) {
                    *c.out << (std::exchange(first, false) ? "" : ",") << "{\"path\":" << JsonString(ToUtf8(d.path))
                           << ",\"present\":" << (d.present ? "true" : "false") << ",\"port_number\":"
                           << (d.portNumber ? std::to_string(*d.portNumber) : "null") << "}";
                }
                *c.out << "]\n";
                return 0;
            }
            if (list.empty()) *c.out << "no USB devices\n";
            for (const auto& d : list)
                *c.out << ToUtf8(d.path) << (d.present ? "  plugged in" : "  unplugged")
                       << (d.portNumber ? "  port number " + std::to_string(*d.portNumber) : "") << "\n";
            return 0;
        });
    }
    if (verb == "attach") {
        if (p.positional.size() != 2) return Usage(c, "usb attach takes ID SERIAL, e.g. vid_0483&pid_5720 A1B2C3");
        const std::string& id = p.positional[0];
        const std::string& serial = p.positional[1];
        auto bad = [](const std::string& s) {
            return s.empty() || s.find_first_of("#\\/ ") != std::string::npos;
        };
        if (bad(id) || bad(serial)) return Usage(c, "usb attach: ID and SERIAL must be non-empty, without #, \\, / or blanks");
        uint32_t number = 0;
        if (const std::string* n = p.Get("--port")) {
            char* end = nullptr;
            unsigned long v = std::strtoul(n->c_str(), &end, 10);
            if (n->empty() || *end || v < 1 || v > 255) return Usage(c, "--port takes a number from 1 to 255, not '" + *n + "'");
            number = static_cast<uint32_t>(v);
        }
        return OnMachine(c, [&](sim::Store& db) {
            uint32_t port = db.Write([&] { return sim::devices::AttachUsbPrinter(db, ToUtf16(id), ToUtf16(serial), number); });
            return Report(c, 0, "USB device " + id + " " + serial + " plugged in on port number " + std::to_string(port), "");
        });
    }
    if (verb == "detach") {
        if (p.positional.size() != 1 || !p.options.empty()) return Usage(c, "usb detach takes SERIAL");
        return OnMachine(c, [&](sim::Store& db) {
            bool known = db.Write([&] { return sim::devices::DetachUsb(db, ToUtf16(p.positional[0])); });
            if (!known) return Refused(c, "no USB device with the serial " + p.positional[0]);
            return Report(c, 0, "USB device " + p.positional[0] + " unplugged", "");
        });
    }
    return Usage(c, "unknown usb verb '" + verb + "' (attach, detach, list)");
}

}  // namespace tool
