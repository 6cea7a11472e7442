#include "driver_package.h"

#include <tuple>

#include "platform/sim/text.h"
#include "win32/errors.h"

using sim::EqualsNoCase;
using sim::Fold;
using sim::ToUtf8;

namespace printui {
namespace {

// The Windows the simulated machine plays: 10.0, build 19045.
constexpr unsigned kOsMajor = 10, kOsMinor = 0, kOsBuild = 19045;

std::vector<std::u16string> SplitDots(std::u16string_view s) {
    std::vector<std::u16string> parts;
    size_t start = 0;
    for (;;) {
        size_t dot = s.find(u'.', start);
        parts.emplace_back(s.substr(start, dot == std::u16string_view::npos ? s.npos : dot - start));
        if (dot == std::u16string_view::npos) break;
        start = dot + 1;
    }
    return parts;
}

std::optional<unsigned> Number(std::u16string_view s) {
    if (s.empty() || s.size() > 9) return std::nullopt;
    unsigned v = 0;
    for (char16_t c : s) {
        if (c < u'0' || c > u'9') return std::nullopt;
        v = v * 10 + (c - u'0');
    }
    return v;
}

// How well a TargetOS decoration fits the machine: nullopt when it does not apply, else
// a rank where an architecture-specific decoration beats a generic "NT" one and a later
// version beats an earlier one.
std::optional<std::tuple<int, unsigned, unsigned, unsigned>> Fit(std::u16string_view decoration,
                                                                 sim::Arch arch) {
    auto parts = SplitDots(decoration);
    std::u16string head = Fold(parts[0]);
    if (head.rfind(u"NT", 0) != 0) return std::nullopt;
    std::u16string archPart = head.substr(2);
    int specific = 0;
    if (!archPart.empty()) {
        if (archPart != Fold(ArchDecoration(arch).substr(2))) return std::nullopt;
        specific = 1;
    }
    unsigned major = 0, minor = 0, build = 0;
    if (parts.size() > 1 && !parts[1].empty()) {
        auto v = Number(parts[1]);
        if (!v) return std::nullopt;
        major = *v;
    }
    if (parts.size() > 2 && !parts[2].empty()) {
        auto v = Number(parts[2]);
        if (!v) return std::nullopt;
        minor = *v;
    }
    if (parts.size() > 5 && !parts[5].empty()) {
        auto v = Number(parts[5]);
        if (!v) return std::nullopt;
        build = *v;
    }
    if (std::tie(major, minor) > std::tie(kOsMajor, kOsMinor)) return std::nullopt;
    if (std::tie(major, minor) == std::tie(kOsMajor, kOsMinor) && build > kOsBuild)
        return std::nullopt;
    return std::make_tuple(specific, major, minor, build);
}

// The models section of one [Manufacturer] line for arch, if it offers one.
std::optional<std::u16string> ModelsSection(const InfLine& line, sim::Arch arch) {
    std::u16string base = line.Field(0);
    if (base.empty()) return std::nullopt;
    // The old form, a line without a key, names the section by the manufacturer's name
    // and has no decorations.
    std::optional<std::tuple<int, unsigned, unsigned, unsigned>> best;
    std::u16string chosen;
    for (size_t i = 1; line.key && i < line.fields.size(); ++i) {
        auto fit = Fit(line.fields[i], arch);
        if (fit && (!best || *fit > *best)) {
            best = fit;
            chosen = line.fields[i];
        }
    }
    if (best) return base + u"." + chosen;
    // An undecorated section is for 32-bit x86 Windows only.
    if (arch == sim::Arch::X86) return base;
    return std::nullopt;
}

struct ModelLine {
    std::u16string name;
    std::u16string installSection;
};

std::vector<ModelLine> Models(const InfFile& inf, sim::Arch arch) {
    std::vector<ModelLine> out;
    const InfSection* manufacturers = inf.Find(u"Manufacturer");
    if (!manufacturers) return out;
    for (const auto& m : manufacturers->lines) {
        auto sectionName = ModelsSection(m, arch);
        if (!sectionName) continue;
        const InfSection* models = inf.Find(*sectionName);
        if (!models) continue;
        for (const auto& line : models->lines)
            if (line.key && !line.key->empty() && !line.Field(0).empty())
                out.push_back({*line.key, line.Field(0)});
    }
    return out;
}

// A file name from the INF must name a file beside the INF or in a folder under it:
// no drive, no absolute path, no way out through "..".
bool IsSafeName(std::u16string_view name, bool allowFolders) {
    if (name.empty()) return false;
    if (name.find_first_of(u":*?\"<>|") != std::u16string_view::npos) return false;
    if (!allowFolders && name.find_first_of(u"\\/") != std::u16string_view::npos) return false;
    if (name.front() == u'\\' || name.front() == u'/') return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of(u"\\/", start);
        if (end == std::u16string_view::npos) end = name.size();
        std::u16string_view part = name.substr(start, end - start);
        if (part == u"..") return false;
        start = end + 1;
    }
    return true;
}

std::u16string JoinDir(const std::u16string& a, const std::u16string& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    return a + u"\\" + b;
}

class ModelBuilder {
public:
    ModelBuilder(const InfFile& inf, sim::Arch arch, Failure* failure)
        : m_inf(inf), m_arch(arch), m_failure(failure) {}

    bool Build(DriverModel* model) {
        const InfSection* install = FindInstallSection(model);
        if (!install) return false;
        // DataSection names sections whose directives the install section shares; the
        // install section's own directives come last and win.
        for (const auto& line : install->lines)
            if (line.key && EqualsNoCase(*line.key, u"DataSection"))
                for (const auto& name : line.fields)
                    if (const InfSection* shared = m_inf.Find(name)) Directives(*shared, model);
        if (!Directives(*install, model)) return false;
        if (model->driverFile.empty())
            return Fail(kErrorSectionNotFound, "the install section [" + ToUtf8(install->name) +
                                                   "] names no DriverFile");
        if (model->dataFile.empty()) model->dataFile = model->installSection;
        if (model->configFile.empty()) model->configFile = model->driverFile;
        for (const auto* main : {&model->driverFile, &model->dataFile, &model->configFile,
                                 &model->helpFile})
            if (!main->empty() && !AddFile(*main, *main, model)) return false;
        return true;
    }

private:
    const InfSection* FindInstallSection(DriverModel* model) {
        std::u16string base = model->installSection;
        for (const std::u16string& name :
             {base + u"." + ArchDecoration(m_arch), base + u".NT", base}) {
            if (const InfSection* s = m_inf.Find(name)) {
                model->installSection = s->name;
                return s;
            }
        }
        Fail(kErrorSectionNotFound, "the install section [" + ToUtf8(base) + "] of model \"" +
                                        ToUtf8(model->name) + "\" is missing");
        return nullptr;
    }

    bool Directives(const InfSection& section, DriverModel* model) {
        for (const auto& line : section.lines) {
            if (!line.key) continue;
            const std::u16string& key = *line.key;
            if (EqualsNoCase(key, u"DriverFile")) {
                model->driverFile = line.Field(0);
            } else if (EqualsNoCase(key, u"DataFile")) {
                model->dataFile = line.Field(0);
            } else if (EqualsNoCase(key, u"ConfigFile")) {
                model->configFile = line.Field(0);
            } else if (EqualsNoCase(key, u"HelpFile")) {
                model->helpFile = line.Field(0);
            } else if (EqualsNoCase(key, u"CopyFiles")) {
                for (const auto& item : line.fields)
                    if (!CopyFiles(item, model)) return false;
            }
            // Include and Needs name the system's own INF sections, which this package
            // does not depend on; other directives do not concern the driver's files.
        }
        return true;
    }

    bool CopyFiles(const std::u16string& item, DriverModel* model) {
        if (item.empty()) return true;
        if (item.front() == u'@') {
            std::u16string name = item.substr(1);
            return CheckDestination(u"", name) && AddFile(name, name, model);
        }
        const InfSection* list = m_inf.Find(item);
        if (!list)
            return Fail(kErrorSectionNotFound,
                        "the CopyFiles section [" + ToUtf8(item) + "] is missing");
        if (!CheckDestination(item, item)) return false;
        for (const auto& line : list->lines) {
            // destination-name[,source-name[,temporary-name[,flags]]]
            std::u16string dest = line.key ? *line.key : line.Field(0);
            std::u16string source = line.key ? line.Field(0) : line.Field(1);
            if (source.empty()) source = dest;
            if (!AddFile(dest, source, model)) return false;
        }
        return true;
    }

    // The print UI installs into the printer driver directory (dirid 66000) only.
    bool CheckDestination(const std::u16string& section, const std::u16string& what) {
        const InfLine* dest = section.empty() ? nullptr : m_inf.FindKey(u"DestinationDirs", section);
        if (!dest) dest = m_inf.FindKey(u"DestinationDirs", u"DefaultDestDir");
        if (!dest || dest->Field(0).empty() || dest->Field(0) == u"66000") return true;
        return Fail(ERROR_INVALID_DATA, "the files of " + ToUtf8(what) +
                                             " go to directory id " + ToUtf8(dest->Field(0)) +
                                             ", not the printer driver directory (66000)");
    }

    bool AddFile(const std::u16string& dest, const std::u16string& source, DriverModel* model) {
        if (!IsSafeName(dest, false) || !IsSafeName(source, false))
            return Fail(ERROR_INVALID_NAME, "the file name \"" + ToUtf8(dest == source ? dest : source) +
                                                 "\" is not a plain file name");
        for (const auto& f : model->files)
            if (EqualsNoCase(f.name, dest)) return true;
        std::u16string dir;
        if (!SourceDir(source, &dir)) return false;
        model->files.push_back({dest, source, dir});
        return true;
    }

    // [SourceDisksFiles] may put a file in a folder of its disk; [SourceDisksNames] may
    // give the disk a folder of its own. Both stay inside the package.
    bool SourceDir(const std::u16string& file, std::u16string* dir) {
        const InfLine* entry = nullptr;
        for (const std::u16string& name :
             {u"SourceDisksFiles." + ArchSuffix(), std::u16string(u"SourceDisksFiles")})
            if (!entry) entry = m_inf.FindKey(name, file);
        if (!entry) return true;
        std::u16string disk = entry->Field(0), sub = entry->Field(1), diskPath;
        if (!disk.empty()) {
            const InfLine* d = nullptr;
            for (const std::u16string& name :
                 {u"SourceDisksNames." + ArchSuffix(), std::u16string(u"SourceDisksNames")})
                if (!d) d = m_inf.FindKey(name, disk);
            if (d) diskPath = d->Field(3);
        }
        while (!diskPath.empty() && (diskPath.front() == u'\\' || diskPath.front() == u'/'))
            diskPath.erase(0, 1);  // a disk's path is relative to the INF's folder
        *dir = JoinDir(diskPath, sub);
        if (!dir->empty() && !IsSafeName(*dir, true))
            return Fail(ERROR_INVALID_NAME, "the source folder \"" + ToUtf8(*dir) + "\" of " +
                                                 ToUtf8(file) + " lies outside the package");
        return true;
    }

    std::u16string ArchSuffix() const {
        switch (m_arch) {
            case sim::Arch::X86: return u"x86";
            case sim::Arch::X64: return u"amd64";
            case sim::Arch::IA64: return u"ia64";
            case sim::Arch::ARM64: return u"arm64";
        }
        return u"amd64";
    }

    bool Fail(DWORD code, std::string message) {
        *m_failure = {code, std::move(message)};
        return false;
    }

    const InfFile& m_inf;
    sim::Arch m_arch;
    Failure* m_failure;
};

}  // namespace

std::vector<std::u16string> DriverModel::DependentFiles() const {
    std::vector<std::u16string> out;
    for (const auto& f : files) {
        bool main = false;
        for (const auto* m : {&driverFile, &dataFile, &configFile, &helpFile})
            if (EqualsNoCase(f.name, *m)) main = true;
        if (!main) out.push_back(f.name);
    }
    return out;
}

std::u16string ArchDecoration(sim::Arch arch) {
    switch (arch) {
        case sim::Arch::X86: return u"NTx86";
        case sim::Arch::X64: return u"NTamd64";
        case sim::Arch::IA64: return u"NTia64";
        case sim::Arch::ARM64: return u"NTarm64";
    }
    return u"NTamd64";
}

bool CheckPrinterInf(const InfFile& inf, Failure* failure) {
    const InfLine* signature = inf.FindKey(u"Version", u"Signature");
    if (!signature || (!EqualsNoCase(signature->Field(0), u"$Windows NT$") &&
                       !EqualsNoCase(signature->Field(0), u"$Chicago$"))) {
        *failure = {kErrorWrongInfStyle,
                    "the file is not a Windows INF file ([Version] has no Windows NT signature)"};
        return false;
    }
    const InfLine* cls = inf.FindKey(u"Version", u"Class");
    const InfLine* guid = inf.FindKey(u"Version", u"ClassGUID");
    bool printer = (cls && EqualsNoCase(cls->Field(0), u"Printer")) ||
                   (guid && EqualsNoCase(guid->Field(0), u"{4D36E979-E325-11CE-BFC1-08002BE10318}"));
    if (!printer) {
        *failure = {kErrorClassMismatch, "the INF file does not install printers"};
        return false;
    }
    return true;
}

std::vector<std::u16string> ModelsFor(const InfFile& inf, sim::Arch arch) {
    std::vector<std::u16string> out;
    for (auto& m : Models(inf, arch)) out.push_back(m.name);
    return out;
}

std::optional<DriverModel> SelectModel(const InfFile& inf, std::u16string_view model,
                                       sim::Arch arch, Failure* failure) {
    for (const auto& m : Models(inf, arch)) {
        if (!EqualsNoCase(m.name, model)) continue;
        DriverModel out;
        out.name = m.name;
        out.installSection = m.installSection;
        ModelBuilder builder(inf, arch, failure);
        if (!builder.Build(&out)) return std::nullopt;
        return out;
    }
    *failure = {ERROR_UNKNOWN_PRINTER_DRIVER,
                "the INF file offers no model \"" + ToUtf8(std::u16string(model)) + "\" for " +
                    sim::ArchName(arch) + " Windows"};
    return std::nullopt;
}

}  // namespace printui
