#include "driver_package.h"

#include <tuple>
#include <unordered_set>

#include "platform/win32.h"

namespace printui {
namespace {

// The Windows the simulated machine plays: 10.0, build 19045.
constexpr unsigned kOsMajor = 10, kOsMinor = 0, kOsBuild = 19045;

std::vector<std::u16string> Split(std::u16string_view s, char16_t separator) {
    std::vector<std::u16string> parts;
    size_t start = 0;
    for (;;) {
        size_t cut = s.find(separator, start);
        parts.emplace_back(s.substr(start, cut == std::u16string_view::npos ? s.npos : cut - start));
        if (cut == std::u16string_view::npos) break;
        start = cut + 1;
    }
    return parts;
}

std::u16string Trim(std::u16string_view s) {
    while (!s.empty() && (s.front() == u' ' || s.front() == u'\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == u' ' || s.back() == u'\t')) s.remove_suffix(1);
    return std::u16string(s);
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
                                                                 Arch arch) {
    auto parts = Split(decoration, u'.');
    std::u16string head = Fold(parts[0]);
    if (head.rfind(u"NT", 0) != 0) return std::nullopt;
    std::u16string archPart = head.substr(2);
    int specific = 0;
    if (!archPart.empty()) {
        if (archPart != Fold(ArchDecoration(arch).substr(2))) return std::nullopt;
        specific = 1;
    }
    unsigned version[3] = {0, 0, 0};  // major, minor, build (the sixth part)
    for (auto [index, slot] : {std::pair{1, 0}, std::pair{2, 1}, std::pair{5, 2}}) {
        if (parts.size() <= static_cast<size_t>(index) || parts[index].empty()) continue;
        auto v = Number(parts[index]);
        if (!v) return std::nullopt;
        version[slot] = *v;
    }
    auto [major, minor, build] = version;
    if (std::tie(major, minor) > std::tie(kOsMajor, kOsMinor)) return std::nullopt;
    if (std::tie(major, minor) == std::tie(kOsMajor, kOsMinor) && build > kOsBuild)
        return std::nullopt;
    return std::make_tuple(specific, major, minor, build);
}

// The models section of one [Manufacturer] line for arch, if it offers one.
std::optional<std::u16string> ModelsSection(const InfLine& line, Arch arch) {
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
    if (arch == Arch::X86) return base;
    return std::nullopt;
}

struct ModelLine {
    std::u16string name;
    std::u16string installSection;
    std::vector<std::u16string> ids;  // hardware and compatible IDs
};

std::vector<ModelLine> Models(const InfFile& inf, Arch arch) {
    std::vector<ModelLine> out;
    const InfSection* manufacturers = inf.Find(u"Manufacturer");
    if (!manufacturers) return out;
    for (const auto& m : manufacturers->lines) {
        auto sectionName = ModelsSection(m, arch);
        if (!sectionName) continue;
        const InfSection* models = inf.Find(*sectionName);
        if (!models) continue;
        for (const auto& line : models->lines) {
            if (!line.key || line.key->empty() || line.Field(0).empty()) continue;
            bool seen = false;  // a model listed once per bus keeps its first line
            for (const auto& o : out) seen = seen || EqualsNoCase(o.name, *line.key);
            if (seen) continue;
            out.push_back({*line.key, line.Field(0),
                           std::vector<std::u16string>(line.fields.begin() + 1, line.fields.end())});
        }
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
    for (const auto& part : Split(name, u'\\'))
        for (const auto& piece : Split(part, u'/'))
            if (piece == u"..") return false;
    return true;
}

std::u16string ArchSuffix(Arch arch) {
    switch (arch) {
        case Arch::X86: return u"x86";
        case Arch::X64: return u"amd64";
        case Arch::IA64: return u"ia64";
        case Arch::ARM64: return u"arm64";
    }
    return u"amd64";
}

std::string Quoted(const std::u16string& s) { return "\"" + ToUtf8(s) + "\""; }
std::string Section(const std::u16string& s) { return "[" + ToUtf8(s) + "]"; }

class ModelBuilder {
public:
    ModelBuilder(const InfSource& package, Arch arch, SystemInfs& system, Failure* failure)
        : m_package(package), m_arch(arch), m_system(system), m_failure(failure) {}

    bool Build(DriverModel* model) {
        const InfSection* install = FindInstallSection(model);
        if (!install) return false;
        m_model = model;
        m_placed.clear();
        if (!Includes(*install)) return false;
        // DataSection names sections whose directives the install section shares; the
        // install section's own directives come last and win.
        for (const auto& name : Values(*install, u"DataSection")) {
            auto found = FindSection(name, true);
            if (!found.section)
                return Fail(kErrorSectionNotFound,
                            "the data section " + Section(name) + " that " + Section(install->name) +
                                " names is in neither " + ToUtf8(m_package.name) + " nor " +
                                IncludedNames());
            if (!Directives(*found.source, *found.section)) return false;
        }
        if (!Directives(m_package, *install)) return false;
        if (!NeededSections(*install) || !CoreDrivers(*install)) return false;

        if (model->driverFile.empty())
            return Fail(kErrorSectionNotFound, "the install section " + Section(install->name) +
                                                   " names no DriverFile, and no data section gives one");
        if (model->dataFile.empty()) model->dataFile = model->installSection;
        if (model->configFile.empty()) model->configFile = model->driverFile;
        // The four files the driver is made of come from the package when no section
        // copies them.
        for (const auto* main : {&model->driverFile, &model->dataFile, &model->configFile,
                                 &model->helpFile})
            if (!main->empty() && !AddFile(m_package, *main, *main, {kDirPrinterDrivers, {}}))
                return false;
        return true;
    }

private:
    struct Destination {
        DWORD dirId;
        std::u16string subdir;
    };
    struct Found {
        const InfSource* source = nullptr;
        const InfSection* section = nullptr;
    };

    const InfSection* FindInstallSection(DriverModel* model) {
        std::u16string base = model->installSection;
        for (const std::u16string& name :
             {base + u"." + ArchDecoration(m_arch), base + u".NT", base}) {
            if (const InfSection* s = m_package.inf.Find(name)) {
                model->installSection = s->name;
                return s;
            }
        }
        Fail(kErrorSectionNotFound, "the install section " + Section(base) + " of model " +
                                        Quoted(model->name) + " is missing");
        return nullptr;
    }

    // Every value of every line with this key, in order: "Needs=A,B" and "Needs=C" give
    // A, B and C.
    static std::vector<std::u16string> Values(const InfSection& section, std::u16string_view key) {
        std::vector<std::u16string> out;
        for (const auto& line : section.lines)
            if (line.key && EqualsNoCase(*line.key, key))
                for (const auto& f : line.fields)
                    if (!f.empty()) out.push_back(f);
        return out;
    }

    // Include= names system INF files; only the system's INF folder is searched, so a
    // package cannot bring its own ntprint.inf.
    bool Includes(const InfSection& install) {
        for (const auto& name : Values(install, u"Include")) {
            const InfSource* inf = m_system.Find(name);
            if (!inf)
                return Fail(ERROR_FILE_NOT_FOUND, "the INF file " + Quoted(name) + " that " +
                                                      Section(install.name) + " includes is not in " +
                                                      m_system.Where());
            m_includes.push_back(inf);
        }
        return true;
    }

    std::string IncludedNames() const {
        if (m_includes.empty()) return "an included INF file (the section includes none)";
        std::string names;
        for (const auto* inf : m_includes) names += (names.empty() ? "" : ", ") + ToUtf8(inf->name);
        return names;
    }

    // A section by name, in the included INF files and the package's; data sections
    // are looked for in the package first.
    Found FindSection(const std::u16string& name, bool packageFirst) {
        if (packageFirst)
            if (const InfSection* s = m_package.inf.Find(name)) return {&m_package, s};
        for (const auto* inf : m_includes)
            if (const InfSection* s = inf->inf.Find(name)) return {inf, s};
        if (!packageFirst)
            if (const InfSection* s = m_package.inf.Find(name)) return {&m_package, s};
        return {};
    }

    // Needs= names install sections of the included INF files, whose files are copied
    // with the package's. Windows refuses a package that needs a section nobody has.
    bool NeededSections(const InfSection& install) {
        for (const auto& name : Values(install, u"Needs")) {
            auto found = FindSection(name, false);
            if (!found.section)
                return Fail(kErrorSectionNotFound, "the section " + Section(name) + " that " +
                                                       Section(install.name) + " needs is not in " +
                                                       IncludedNames());
            if (!CopyFilesOf(*found.source, *found.section)) return false;
        }
        return true;
    }

    // CoreDriverSections="{GUID},SECTION[,SECTION...]": install sections of the core
    // driver of that GUID. CoreDriverDependencies of [PrinterPackageInstallation.<arch>]
    // must name core drivers the machine has.
    bool CoreDrivers(const InfSection& install) {
        for (const auto& value : Values(install, u"CoreDriverSections")) {
            auto parts = Split(value, u',');
            std::u16string guid = Trim(parts[0]);
            const InfSource* core = m_system.CoreDriver(guid);
            if (!core) return Fail(ERROR_FILE_NOT_FOUND, MissingCore(guid));
            for (size_t i = 1; i < parts.size(); ++i) {
                std::u16string name = Trim(parts[i]);
                if (name.empty()) continue;
                const InfSection* s = core->inf.Find(name);
                if (!s)
                    return Fail(kErrorSectionNotFound, "the section " + Section(name) + " of core driver " +
                                                           ToUtf8(guid) + " that " + Section(install.name) +
                                                           " names is not in " + ToUtf8(core->name));
                if (!CopyFilesOf(*core, *s)) return false;
            }
        }
        if (const InfSection* package = m_package.inf.Find(u"PrinterPackageInstallation." + ArchSuffix(m_arch)))
            for (const auto& guid : Values(*package, u"CoreDriverDependencies"))
                if (!m_system.CoreDriver(guid)) return Fail(ERROR_FILE_NOT_FOUND, MissingCore(guid));
        return true;
    }

    std::string MissingCore(const std::u16string& guid) const {
        return "the core driver " + ToUtf8(guid) + " that the package depends on is in no INF file of " +
               m_system.Where();
    }

    bool CopyFilesOf(const InfSource& source, const InfSection& section) {
        for (const auto& item : Values(section, u"CopyFiles"))
            if (!CopyFiles(source, item)) return false;
        return true;
    }

    bool Directives(const InfSource& source, const InfSection& section) {
        for (const auto& line : section.lines) {
            if (!line.key) continue;
            const std::u16string& key = *line.key;
            if (EqualsNoCase(key, u"DriverFile")) {
                m_model->driverFile = line.Field(0);
            } else if (EqualsNoCase(key, u"DataFile")) {
                m_model->dataFile = line.Field(0);
            } else if (EqualsNoCase(key, u"ConfigFile")) {
                m_model->configFile = line.Field(0);
            } else if (EqualsNoCase(key, u"HelpFile")) {
                m_model->helpFile = line.Field(0);
            } else if (EqualsNoCase(key, u"LanguageMonitor")) {
                // "PJL Language Monitor,PJLMON.DLL": one quoted field, or two plain ones.
                std::u16string value = line.fields.size() > 1 ? line.Field(0) + u"," + line.Field(1)
                                                               : line.Field(0);
                auto parts = Split(value, u',');
                m_model->monitorName = Trim(parts[0]);
                m_model->monitorFile = parts.size() > 1 ? Trim(parts[1]) : std::u16string();
                if (m_model->monitorName.empty() || m_model->monitorName.find(u'\\') != std::u16string::npos ||
                    !IsSafeName(m_model->monitorFile, false))
                    return Fail(ERROR_INVALID_DATA, "the language monitor " + Quoted(value) + " of " +
                                                        Section(section.name) + " names no monitor file");
            } else if (EqualsNoCase(key, u"CopyFiles")) {
                for (const auto& item : line.fields)
                    if (!CopyFiles(source, item)) return false;
            }
            // Include, Needs and CoreDriverSections are the install section's own (see
            // Build); other directives do not concern the driver's files.
        }
        return true;
    }

    bool CopyFiles(const InfSource& source, const std::u16string& item) {
        if (item.empty()) return true;
        if (item.front() == u'@') {
            std::u16string name = item.substr(1);
            auto to = DestinationFor(source, u"");
            return to && AddFile(source, name, name, *to);
        }
        const InfSection* list = source.inf.Find(item);
        if (!list)
            return Fail(kErrorSectionNotFound, "the CopyFiles section " + Section(item) +
                                                   " is missing from " + ToUtf8(source.name));
        auto to = DestinationFor(source, item);
        if (!to) return false;
        for (const auto& line : list->lines) {
            // destination-name[,source-name[,temporary-name[,flags]]]
            std::u16string dest = line.key ? *line.key : line.Field(0);
            std::u16string from = line.key ? line.Field(0) : line.Field(1);
            if (from.empty()) from = dest;
            if (!AddFile(source, dest, from, *to)) return false;
        }
        return true;
    }

    // [DestinationDirs]: the section's own entry, else DefaultDestDir, else the printer
    // driver directory. "dirid[,subdir]".
    std::optional<Destination> DestinationFor(const InfSource& source, const std::u16string& section) {
        const InfLine* dest = section.empty() ? nullptr : source.inf.FindKey(u"DestinationDirs", section);
        if (!dest) dest = source.inf.FindKey(u"DestinationDirs", u"DefaultDestDir");
        if (!dest || dest->Field(0).empty()) return Destination{kDirPrinterDrivers, {}};
        std::string what = section.empty() ? "the files of " + ToUtf8(source.name)
                                           : "the files of " + Section(section);
        auto id = Number(dest->Field(0));
        bool known = id && (*id == kDirWindows || *id == kDirSystem || *id == kDirPrinterDrivers ||
                            *id == kDirPrintProcessors || *id == kDirPrintMonitors || *id == kDirColor);
        if (!known) {
            Fail(ERROR_INVALID_DATA, what + " go to directory id " + ToUtf8(dest->Field(0)) +
                                         ", which is not one a printer driver installs to");
            return std::nullopt;
        }
        std::u16string subdir = dest->Field(1);
        if (!subdir.empty() && (*id == kDirPrinterDrivers || !IsSafeName(subdir, true))) {
            Fail(ERROR_INVALID_NAME, what + " go to the folder " + Quoted(subdir) +
                                         (*id == kDirPrinterDrivers
                                              ? ", but a driver's files lie in the driver directory itself"
                                              : ", which leaves their directory"));
            return std::nullopt;
        }
        return Destination{*id, subdir};
    }

    bool AddFile(const InfSource& source, const std::u16string& dest, const std::u16string& from,
                 const Destination& to) {
        if (!IsSafeName(dest, false) || !IsSafeName(from, false))
            return Fail(ERROR_INVALID_NAME, "the file name " + Quoted(dest == from ? dest : from) +
                                                " in " + ToUtf8(source.name) + " is not a plain file name");
        // A file that goes where one is going already is copied once (looked up, not
        // searched for: a package may name a hundred thousand files).
        std::u16string place = ToUtf16(std::to_string(to.dirId)) + u"\\" + Fold(to.subdir) + u"\\" + Fold(dest);
        if (!m_placed.insert(std::move(place)).second) return true;
        std::u16string dir;
        if (!SourceDir(source, from, &dir)) return false;
        m_model->files.push_back({dest, from, dir, to.dirId, to.subdir, source.name, &source != &m_package});
        return true;
    }

    // [SourceDisksFiles] may put a file in a folder of its disk; [SourceDisksNames] may
    // give the disk a folder of its own. Both stay inside the INF's source root.
    bool SourceDir(const InfSource& source, const std::u16string& file, std::u16string* dir) {
        const InfFile& inf = source.inf;
        const std::u16string suffix = ArchSuffix(m_arch);
        const InfLine* entry = nullptr;
        for (const std::u16string& name : {u"SourceDisksFiles." + suffix, std::u16string(u"SourceDisksFiles")})
            if (!entry) entry = inf.FindKey(name, file);
        std::u16string disk = entry ? entry->Field(0) : std::u16string(), sub = entry ? entry->Field(1) : std::u16string();
        std::u16string diskPath;
        if (!disk.empty()) {
            const InfLine* d = nullptr;
            for (const std::u16string& name : {u"SourceDisksNames." + suffix, std::u16string(u"SourceDisksNames")})
                if (!d) d = inf.FindKey(name, disk);
            if (d) diskPath = d->Field(3);
        }
        while (!diskPath.empty() && (diskPath.front() == u'\\' || diskPath.front() == u'/'))
            diskPath.erase(0, 1);  // a disk's path is relative to the INF's folder
        std::u16string relative = JoinPath(diskPath, sub);
        if (!relative.empty() && !IsSafeName(relative, true))
            return Fail(ERROR_INVALID_NAME, "the source folder " + Quoted(relative) + " of " + ToUtf8(file) +
                                                " lies outside the package");
        *dir = JoinPath(source.sourceRoot, relative);
        return true;
    }

    bool Fail(DWORD code, std::string message) {
        *m_failure = {code, std::move(message)};
        return false;
    }

    const InfSource& m_package;
    Arch m_arch;
    SystemInfs& m_system;
    Failure* m_failure;
    DriverModel* m_model = nullptr;
    std::unordered_set<std::u16string> m_placed;  // dirid\subdir\name of the files, folded
    std::vector<const InfSource*> m_includes;
};

}  // namespace

const InfSource* InfLibrary::Find(std::u16string_view name) {
    for (const auto& inf : m_infs)
        if (EqualsNoCase(inf.name, name)) return &inf;
    return nullptr;
}

const InfSource* InfLibrary::CoreDriver(std::u16string_view guid) {
    for (const auto& inf : m_infs)
        if (OffersId(inf.inf, guid)) return &inf;
    return nullptr;
}

bool OffersId(const InfFile& inf, std::u16string_view id) {
    for (Arch arch : {Arch::X86, Arch::X64, Arch::IA64, Arch::ARM64})
        for (const auto& model : Models(inf, arch))
            for (const auto& i : model.ids)
                if (EqualsNoCase(i, id)) return true;
    return false;
}

std::vector<std::u16string> DriverModel::DependentFiles() const {
    std::vector<std::u16string> out;
    for (const auto& f : files) {
        if (f.dirId != kDirPrinterDrivers) continue;
        bool main = false;
        for (const auto* m : {&driverFile, &dataFile, &configFile, &helpFile})
            if (EqualsNoCase(f.name, *m)) main = true;
        if (!main) out.push_back(f.name);
    }
    return out;
}

std::u16string ArchDecoration(Arch arch) {
    switch (arch) {
        case Arch::X86: return u"NTx86";
        case Arch::X64: return u"NTamd64";
        case Arch::IA64: return u"NTia64";
        case Arch::ARM64: return u"NTarm64";
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
    if (const InfLine* classVer = inf.FindKey(u"Version", u"ClassVer")) {
        std::u16string v = classVer->Field(0);
        if (v == u"4.0" || v == u"4") {
            *failure = {ERROR_NOT_SUPPORTED,
                        "the INF file is a version 4 printer driver package (ClassVer=4.0): such a "
                        "driver is staged in the driver store and runs from there with Windows' "
                        "configuration module and the package's manifest; this print UI installs "
                        "version 3 packages"};
            return false;
        }
        if (v != u"3.0" && v != u"3") {
            *failure = {kErrorWrongInfStyle, "the INF file's ClassVer " + Quoted(v) +
                                                 " is neither 3.0 nor 4.0"};
            return false;
        }
    }
    return true;
}

std::vector<std::u16string> ModelsFor(const InfFile& inf, Arch arch) {
    std::vector<std::u16string> out;
    for (auto& m : Models(inf, arch)) out.push_back(m.name);
    return out;
}

std::optional<DriverModel> SelectModel(const InfSource& package, std::u16string_view model,
                                       Arch arch, SystemInfs& system, Failure* failure) {
    for (const auto& m : Models(package.inf, arch)) {
        if (!EqualsNoCase(m.name, model)) continue;
        DriverModel out;
        out.name = m.name;
        out.installSection = m.installSection;
        ModelBuilder builder(package, arch, system, failure);
        if (!builder.Build(&out)) return std::nullopt;
        return out;
    }
    *failure = {ERROR_UNKNOWN_PRINTER_DRIVER,
                "the INF file offers no model \"" + ToUtf8(std::u16string(model)) + "\" for " +
                    ArchName(arch) + " Windows"};
    return std::nullopt;
}

}  // namespace printui
