#include "commands.h"

#include <algorithm>
#include <cstring>
#include <iostream>
#include <memory>
#include <utility>

#include "json.h"
#include "platform/sim/faults.h"
#include "platform/sim/machine.h"
#include "platform/sim/regtree.h"
#include "platform/sim/text.h"
#include "regdata.h"

namespace fs = std::filesystem;
using sim::ToUtf16;
using sim::ToUtf8;

namespace tool {

int Usage(Context& c, const std::string& what) {
    *c.err << "drovan-machine: " << what << " (see drovan-machine --help)\n";
    return 2;
}

int Refused(Context& c, const std::string& what) {
    *c.err << "drovan-machine: " << what << "\n";
    return 1;
}

bool ReadyMachine(Context& c) {
    std::string error;
    if (!sim::Machine::Open(c.folder, nullptr, &error)) {
        *c.err << "drovan-machine: " << error << "\n";
        return false;
    }
    sim::CurrentMachine();
    return true;
}

namespace {

std::unique_ptr<sim::Machine> OpenMachine(Context& c, const sim::MachineSettings* forNew = nullptr,
                                          bool* created = nullptr) {
    std::string error;
    auto m = sim::Machine::Open(c.folder, forNew, &error, created);
    if (!m) *c.err << "drovan-machine: " << error << "\n";
    return m;
}

// Runs a store operation, turning a store failure into a message and status 1.
template <class F>
int Guard(Context& c, F&& body) {
    try {
        return body();
    } catch (const sim::StoreError& e) {
        *c.err << "drovan-machine: the machine database in " << c.folder.string()
               << " failed: " << e.message << "\n";
        return 1;
    }
}

bool ParseNumber(const std::string& s, unsigned long long max, unsigned long long* out) {
    auto v = ParseUnsigned(s, max);
    if (v) *out = *v;
    return v.has_value();
}

struct RegPath {
    int64_t root;
    std::vector<std::u16string> parts;
    std::string text;
};

std::optional<RegPath> ParseRegPath(Context& c, const std::string& text) {
    auto rooted = sim::reg::ParseRootedPath(ToUtf16(text));
    std::optional<std::vector<std::u16string>> parts;
    if (rooted) parts = sim::reg::SplitPath(rooted->second);
    if (!rooted || !parts) {
        Usage(c, "malformed registry path '" + text +
                     "': it must start with HKLM, HKCU, HKU or HKCR (or their long names) and have no empty parts");
        return std::nullopt;
    }
    return RegPath{rooted->first, *parts, text};
}

void PrintValue(Context& c, const sim::reg::Value& v, bool first) {
    if (c.json) {
        *c.out << (first ? "" : ",") << "{\"name\":" << JsonString(ToUtf8(v.name))
               << ",\"type\":" << JsonString(TypeName(v.type))
               << ",\"data\":" << FormatDataJson(v) << "}";
    } else {
        std::string name = v.name.empty() ? "(Default)" : ToUtf8(v.name);
        *c.out << "    " << name << "    " << TypeName(v.type) << "    " << FormatData(v) << "\n";
    }
}

}  // namespace

int CmdInit(Context& c, const Args& args) {
    sim::MachineSettings settings;
    settings.lang = sim::LangFromLocale();
    bool langGiven = false, archGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--lang" && i + 1 < args.size()) {
            unsigned long long v;
            if (!ParseNumber(args[++i], 0xFFFF, &v) || v == 0)
                return Usage(c, "--lang takes a language identifier such as 2052 or 1033, not '" +
                                    args[i] + "'");
            settings.lang = static_cast<LANGID>(v);
            langGiven = true;
        } else if (args[i] == "--arch" && i + 1 < args.size()) {
            auto arch = sim::ParseArch(args[++i]);
            if (!arch) return Usage(c, "--arch takes x86, x64, ia64 or arm64, not '" + args[i] + "'");
            settings.arch = *arch;
            archGiven = true;
        } else {
            return Usage(c, "init takes [--lang N] [--arch x86|x64|ia64|arm64], not '" + args[i] + "'");
        }
    }
    bool created = false;
    auto m = OpenMachine(c, &settings, &created);
    if (!m) return 1;
    return Guard(c, [&] {
        if (!created && (langGiven || archGiven)) {
            sim::MachineSettings now = m->Settings();
            if (langGiven) now.lang = settings.lang;
            if (archGiven) now.arch = settings.arch;
            m->SetSettings(now);
        }
        sim::MachineSettings s = m->Settings();
        const char* what = created ? "created" : (langGiven || archGiven) ? "updated" : "exists";
        if (c.json)
            *c.out << "{\"machine\":" << JsonString(c.folder.string()) << ",\"status\":\"" << what
                   << "\",\"arch\":\"" << sim::ArchName(s.arch) << "\",\"lang\":" << s.lang << "}\n";
        else
            *c.out << "machine " << c.folder.string() << " " << what << ": " << sim::ArchName(s.arch)
                   << ", language " << s.lang << ", code page " << sim::AnsiCodePageFor(s.lang)
                   << "\n";
        return 0;
    });
}

int CmdShow(Context& c, const Args& args) {
    if (!args.empty()) return Usage(c, "show takes no arguments");
    auto m = OpenMachine(c);
    if (!m) return 1;
    return Guard(c, [&] {
        sim::MachineSettings s = m->Settings();
        auto& db = m->Db();
        auto [ports, faults] = db.Read([&] {
            int64_t key = sim::reg::FindPath(
                db, sim::reg::kLocalMachine,
                *sim::reg::SplitPath(u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports"));
            auto values = key ? sim::reg::Values(db, key) : std::vector<sim::reg::Value>{};
            return std::pair{values, sim::ListFaults(db)};
        });
        if (c.json) {
            *c.out << "{\"machine\":" << JsonString(m->Folder().string()) << ",\"arch\":\""
                   << sim::ArchName(s.arch) << "\",\"lang\":" << s.lang
                   << ",\"codePage\":" << sim::AnsiCodePageFor(s.lang) << ",\"ports\":[";
            bool first = true;
            for (const auto& p : ports) PrintValue(c, p, std::exchange(first, false));
            *c.out << "],\"faults\":[";
            first = true;
            for (const auto& f : faults)
                *c.out << (std::exchange(first, false) ? "" : ",") << "{\"op\":" << JsonString(f.op)
                       << ",\"error\":" << f.error << ",\"remaining\":" << f.remaining << ",\"skip\":" << f.skip << "}";
            *c.out << "]}\n";
            return 0;
        }
        *c.out << "Machine:    " << m->Folder().string() << "\n"
               << "Windows:    " << (s.arch == sim::Arch::X86 || s.arch == sim::Arch::ARM64 ? "32" : "64")
               << "-bit view, architecture " << sim::ArchName(s.arch) << "\n"
               << "Language:   " << s.lang << " (ANSI code page " << sim::AnsiCodePageFor(s.lang) << ")\n"
               << "Drive C:    " << m->DriveC().string() << "\n"
               << "Ports:\n";
        for (const auto& p : ports) *c.out << "    " << ToUtf8(p.name) << "  " << FormatData(p) << "\n";
        *c.out << "Faults:     " << (faults.empty() ? "none" : "") << "\n";
        for (const auto& f : faults)
            *c.out << "    " << f.op << " fails with " << f.error << " ("
                   << (f.remaining < 0 ? std::string("always") : std::to_string(f.remaining) + " more")
                   << (f.skip > 0 ? ", after " + std::to_string(f.skip) + " more calls" : std::string()) << ")\n";
        return 0;
    });
}

int CmdReg(Context& c, const Args& args) {
    if (args.empty()) return Usage(c, "reg takes query, set, delete, export or import");
    const std::string& verb = args[0];
    if (verb == "export") return CmdRegExport(c, Args(args.begin() + 1, args.end()));
    if (verb == "import") return CmdRegImport(c, Args(args.begin() + 1, args.end()));
    if (verb != "query" && verb != "set" && verb != "delete")
        return Usage(c, "unknown reg verb '" + verb + "' (query, set, delete, export, import)");
    if (args.size() < 2) return Usage(c, "reg " + verb + " needs a registry path");
    // Paths, names and data are UTF-8 text: a byte that is not would become U+FFFD unseen.
    for (const auto& a : args)
        if (!sim::IsValidUtf8(a)) return Usage(c, "'" + a + "' is not valid UTF-8 text");
    auto path = ParseRegPath(c, args[1]);
    if (!path) return 2;
    std::optional<uint32_t> type;
    std::optional<std::string> data;
    if (verb == "set") {
        if (args.size() < 5) return Usage(c, "reg set takes PATH NAME TYPE DATA...");
        type = ParseType(args[3]);
        if (!type)
            return Usage(c, "unknown value type '" + args[3] +
                                "' (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_QWORD, REG_BINARY, REG_NONE)");
        std::string why;
        data = ParseData(*type, Args(args.begin() + 4, args.end()), &why);
        if (!data) return Usage(c, "bad data for " + args[3] + ": " + why);
    } else if (args.size() > 3) {
        return Usage(c, "reg " + verb + " takes PATH [NAME]");
    }
    auto m = OpenMachine(c);
    if (!m) return 1;
    auto& db = m->Db();
    std::optional<std::u16string> name;
    if (args.size() >= 3) name = ToUtf16(args[2]);
    return Guard(c, [&]() -> int {
        if (verb == "set") {
            db.Write([&] {
                int64_t key = sim::reg::CreatePath(db, path->root, path->parts, nullptr);
                sim::reg::SetValue(db, key, *name, *type, *data);
            });
            if (!c.json) *c.out << "set " << path->text << " " << args[2] << "\n";
            else *c.out << "{\"set\":" << JsonString(path->text) << ",\"name\":" << JsonString(args[2]) << "}\n";
            return 0;
        }
        if (verb == "delete") {
            bool found = db.Write([&] {
                int64_t key = sim::reg::FindPath(db, path->root, path->parts);
                if (!key) return false;
                if (name) return sim::reg::DeleteValue(db, key, *name);
                if (key <= sim::reg::kUsers) return false;
                sim::reg::DeleteTree(db, key);
                return true;
            });
            if (!found) {
                *c.err << "drovan-machine: " << path->text << (name ? " has no value '" + args[2] + "'" : " does not exist")
                       << (path->parts.empty() && !name ? " (a root key cannot be deleted)" : "") << "\n";
                return 1;
            }
            if (!c.json) *c.out << "deleted " << path->text << (name ? " " + args[2] : "") << "\n";
            else *c.out << "{\"deleted\":" << JsonString(path->text) << "}\n";
            return 0;
        }
        // query
        struct Listing {
            bool exists = false;
            std::vector<std::u16string> subkeys;
            std::vector<sim::reg::Value> values;
            std::u16string fullPath;
        };
        Listing l = db.Read([&] {
            Listing r;
            int64_t key = sim::reg::FindPath(db, path->root, path->parts);
            if (!key) return r;
            r.exists = true;
            r.fullPath = sim::reg::KeyPath(db, key);
            if (name) {
                if (auto v = sim::reg::GetValue(db, key, *name)) r.values.push_back(*v);
            } else {
                r.subkeys = sim::reg::SubKeys(db, key);
                r.values = sim::reg::Values(db, key);
            }
            return r;
        });
        if (!l.exists) {
            *c.err << "drovan-machine: the key " << path->text << " does not exist\n";
            return 1;
        }
        if (name && l.values.empty()) {
            *c.err << "drovan-machine: " << path->text << " has no value '" << args[2] << "'\n";
            return 1;
        }
        if (c.json) {
            *c.out << "{\"key\":" << JsonString(ToUtf8(l.fullPath)) << ",\"values\":[";
            bool first = true;
            for (const auto& v : l.values) PrintValue(c, v, std::exchange(first, false));
            *c.out << "],\"subkeys\":[";
            first = true;
            for (const auto& k : l.subkeys)
                *c.out << (std::exchange(first, false) ? "" : ",") << JsonString(ToUtf8(k));
            *c.out << "]}\n";
        } else {
            *c.out << ToUtf8(l.fullPath) << "\n";
            for (const auto& v : l.values) PrintValue(c, v, false);
            for (const auto& k : l.subkeys) *c.out << "  " << ToUtf8(k) << "\\\n";
        }
        return 0;
    });
}

int CmdFault(Context& c, const Args& args) {
    if (args.empty()) return Usage(c, "fault takes set, clear or list");
    const std::string& verb = args[0];
    sim::Fault fault;
    if (verb == "set") {
        if (args.size() < 3) return Usage(c, "fault set takes OP ERROR [--once|--times N|--always] [--after N]");
        fault.op = args[1];
        unsigned long long v;
        if (!ParseNumber(args[2], 0xFFFFFFFFull, &v))
            return Usage(c, "'" + args[2] + "' is not a Win32 error code");
        fault.error = static_cast<DWORD>(v);
        fault.remaining = 1;
        for (size_t i = 3; i < args.size(); ++i) {
            if (args[i] == "--always") fault.remaining = sim::kAlways;
            else if (args[i] == "--once") fault.remaining = 1;
            else if (args[i] == "--times" && i + 1 < args.size()) {
                if (!ParseNumber(args[++i], 1000000000ull, &v) || v == 0)
                    return Usage(c, "--times takes a positive count");
                fault.remaining = static_cast<int64_t>(v);
            } else if (args[i] == "--after" && i + 1 < args.size()) {
                if (!ParseNumber(args[++i], 1000000000ull, &v))
                    return Usage(c, "--after takes a count of calls that succeed first");
                fault.skip = static_cast<int64_t>(v);
            } else {
                return Usage(c, "unknown fault option '" + args[i] + "'");
            }
        }
    } else if (verb == "clear") {
        if (args.size() > 2) return Usage(c, "fault clear takes [OP]");
    } else if (verb == "list") {
        if (args.size() > 1) return Usage(c, "fault list takes no arguments");
    } else {
        return Usage(c, "unknown fault verb '" + verb + "' (set, clear, list)");
    }
    auto m = OpenMachine(c);
    if (!m) return 1;
    return Guard(c, [&]() -> int {
        if (verb == "set") {
            sim::SetFault(m->Db(), fault);
            if (!c.json) *c.out << "fault set: " << fault.op << " fails with " << fault.error << "\n";
            else *c.out << "{\"set\":" << JsonString(fault.op) << "}\n";
        } else if (verb == "clear") {
            if (args.size() == 2) {
                if (!sim::ClearFault(m->Db(), args[1])) {
                    *c.err << "drovan-machine: no fault is set for " << args[1] << "\n";
                    return 1;
                }
            } else {
                sim::ClearAllFaults(m->Db());
            }
            if (!c.json) *c.out << "cleared\n";
            else *c.out << "{\"cleared\":true}\n";
        } else {
            auto faults = sim::ListFaults(m->Db());
            if (c.json) {
                *c.out << "[";
                bool first = true;
                for (const auto& f : faults)
                    *c.out << (std::exchange(first, false) ? "" : ",") << "{\"op\":" << JsonString(f.op)
                           << ",\"error\":" << f.error << ",\"remaining\":" << f.remaining << ",\"skip\":" << f.skip << "}";
                *c.out << "]\n";
            } else {
                for (const auto& f : faults)
                    *c.out << f.op << "\t" << f.error << "\t"
                           << (f.remaining < 0 ? std::string("always") : std::to_string(f.remaining))
                           << (f.skip > 0 ? "\tafter " + std::to_string(f.skip) : std::string()) << "\n";
            }
        }
        return 0;
    });
}

int CmdFiles(Context& c, const Args& args) {
    if (args.size() > 1) return Usage(c, "files takes [C:\\FOLDER]");
    auto m = OpenMachine(c);
    if (!m) return 1;
    fs::path root = m->DriveC();
    std::string prefix = "C:";
    if (!args.empty()) {
        std::u16string p = ToUtf16(args[0]);
        for (auto& ch : p) if (ch == u'/') ch = u'\\';
        if (p.size() < 2 || sim::FoldChar(p[0]) != u'C' || p[1] != u':')
            return Usage(c, "files lists drive C: only, e.g. C:\\Windows");
        std::u16string rest = p.substr(2);
        while (!rest.empty() && rest.front() == u'\\') rest.erase(0, 1);
        while (!rest.empty() && rest.back() == u'\\') rest.pop_back();
        std::string r = ToUtf8(rest);
        std::replace(r.begin(), r.end(), '\\', '/');
        root /= r;
        if (!rest.empty()) prefix += "\\" + ToUtf8(rest);
    }
    std::error_code ec;
    if (!fs::is_directory(root, ec)) {
        *c.err << "drovan-machine: " << prefix << " is not a folder on this machine\n";
        return 1;
    }
    std::vector<std::pair<std::string, uintmax_t>> entries;
    for (auto it = fs::recursive_directory_iterator(root, ec); it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (ec) break;
        std::string rel = fs::relative(it->path(), root, ec).string();
        std::replace(rel.begin(), rel.end(), '/', '\\');
        bool dir = it->is_directory(ec);
        entries.emplace_back(prefix + "\\" + rel + (dir ? "\\" : ""), dir ? 0 : it->file_size(ec));
    }
    std::sort(entries.begin(), entries.end());
    if (c.json) {
        *c.out << "[";
        bool first = true;
        for (const auto& [p, size] : entries)
            *c.out << (std::exchange(first, false) ? "" : ",") << "{\"path\":" << JsonString(p)
                   << ",\"size\":" << size << "}";
        *c.out << "]\n";
    } else {
        for (const auto& [p, size] : entries)
            *c.out << p << (p.back() == '\\' ? "" : "  " + std::to_string(size)) << "\n";
    }
    return 0;
}

}  // namespace tool
