// drovan-machine reg export and reg import: registry files in regedit's formats.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "commands.h"
#include "json.h"
#include "platform/sim/regtree.h"
#include "platform/sim/text.h"
#include "regfile.h"

namespace fs = std::filesystem;

namespace tool {
namespace {

// Writes the bytes to path through a file beside it that takes its name when complete, so
// that a failed export never leaves half a file (or spoils the one there was).
bool WriteWhole(const std::string& path, const std::string& bytes, std::string* why) {
    if (path == "-") {
        std::cout.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        std::cout.flush();
        return static_cast<bool>(std::cout);
    }
    std::string temp = path + ".part-" + std::to_string(getpid());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            *why = "cannot write " + path;
            std::remove(temp.c_str());
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temp, path, ec);
    if (ec) {
        *why = "cannot write " + path + ": " + ec.message();
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

bool ReadWhole(const std::string& path, std::string* bytes) {
    if (path == "-") {
        bytes->assign(std::istreambuf_iterator<char>(std::cin), {});
        return true;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes->assign(std::istreambuf_iterator<char>(in), {});
    return !in.bad();
}

}  // namespace

int CmdRegExport(Context& c, const Args& args) {
    Args positional;
    regfile::Format format = regfile::Format::Unicode;
    for (const auto& a : args) {
        if (a == "--regedit4") format = regfile::Format::Ansi;
        else positional.push_back(a);
    }
    if (positional.size() != 2) return Usage(c, "reg export takes PATH FILE [--regedit4]");
    const std::string& pathText = positional[0];
    const std::string& file = positional[1];
    auto rooted = sim::reg::ParseRootedPath(sim::ToUtf16(pathText));
    auto parts = rooted ? sim::reg::SplitPath(rooted->second) : std::nullopt;
    if (!parts)
        return Usage(c, "malformed registry path '" + pathText +
                            "': it must start with HKLM, HKCU, HKU or HKCR (or their long names)");
    return OnMachine(c, [&](sim::Store& db) {
        std::string bytes, error;
        bool found = true;
        bool ok = db.Read([&] {
            int64_t key = sim::reg::FindPath(db, rooted->first, *parts);
            if (!key) return found = false;
            return regfile::Export(db, key, format, &bytes, &error);
        });
        if (!found) return Refused(c, "the key " + pathText + " does not exist");
        if (!ok) return Refused(c, "cannot export " + pathText + ": " + error + "; nothing was written");
        if (!WriteWhole(file, bytes, &error)) return Refused(c, error);
        if (file != "-") {
            if (c.json)
                *c.out << "{\"exported\":" << JsonString(pathText) << ",\"file\":" << JsonString(file)
                       << ",\"bytes\":" << bytes.size() << "}\n";
            else
                *c.out << "exported " << pathText << " to " << file << "\n";
        }
        return 0;
    });
}

int CmdRegImport(Context& c, const Args& args) {
    if (args.size() != 1) return Usage(c, "reg import takes FILE (- for standard input)");
    const std::string& file = args[0];
    std::string bytes;
    if (!ReadWhole(file, &bytes)) return Refused(c, "cannot read " + file);
    return OnMachine(c, [&](sim::Store& db) {
        // The whole file is read before anything is changed: a bad line changes nothing.
        regfile::ParsedFile parsed;
        std::string error;
        if (!regfile::Parse(bytes, &parsed, &error))
            return Refused(c, file + ": " + error + "; nothing was imported");
        regfile::Applied done = db.Write([&] { return regfile::Apply(db, parsed); });
        if (c.json)
            *c.out << "{\"imported\":" << JsonString(file) << ",\"keysCreated\":" << done.keysCreated
                   << ",\"keysDeleted\":" << done.keysDeleted << ",\"valuesSet\":" << done.valuesSet
                   << ",\"valuesDeleted\":" << done.valuesDeleted << "}\n";
        else
            *c.out << "imported " << file << ": " << done.valuesSet << " values set, " << done.keysCreated
                   << " keys made, " << done.keysDeleted << " keys and " << done.valuesDeleted
                   << " values deleted\n";
        return 0;
    });
}

}  // namespace tool
