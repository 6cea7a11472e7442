// What a printer INF offers: its models per processor architecture and, for one model,
// the driver's files and where they go. Setup's rules:
//
// - [Manufacturer] entries name a models section with TargetOS decorations (NTx86,
//   NTamd64, NTia64, NTarm64, optionally with a version); the closest decoration for the
//   machine wins. Model lines are "Model" = install-section[, hardware-id...].
// - The install section (or its .NTamd64 / .NT form) names the files: CopyFiles (a
//   section, or @file), DriverFile, DataFile, ConfigFile, HelpFile, LanguageMonitor.
// - DataSection= names sections that supply those directives, in the package's INF or
//   in an included one (ntprint.inf's UNIDRV_DATA: UNIDRV.DLL, UNIDRVUI.DLL, UNIDRV.HLP);
//   the install section's own directives win.
// - Include= names system INF files (looked for in the system's INF folder only), and
//   Needs= install sections of theirs, whose files are copied with the package's: this is
//   how a minidriver gets the universal printer driver.
// - Package-aware INFs name core drivers by GUID instead (CoreDriverSections= and
//   [PrinterPackageInstallation.<arch>] CoreDriverDependencies=).
// - [DestinationDirs] sends files to the printer driver directory (66000), the print
//   processor directory (66001), the system directory (66002, 11), the colour directory
//   (66003) or the Windows directory (10).
// - Version 4 packages (ClassVer=4.0) are refused: see CheckPrinterInf.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "inf_file.h"
#include "printui_host.h"

namespace printui {

// A failure of the print UI: the Win32 (or Setup) error and what the user is told.
struct Failure {
    DWORD code = 0;
    std::string message;
};

// Setup's own errors, as SetupAPI reports them.
inline constexpr DWORD kErrorGeneralSyntax = 0xE0000003;  // ERROR_GENERAL_SYNTAX
inline constexpr DWORD kErrorWrongInfStyle = 0xE0000100;  // ERROR_WRONG_INF_STYLE
inline constexpr DWORD kErrorSectionNotFound = 0xE0000101;  // ERROR_SECTION_NOT_FOUND
inline constexpr DWORD kErrorClassMismatch = 0xE0000203;  // ERROR_CLASS_MISMATCH

// Directory ids of printer INFs.
inline constexpr DWORD kDirWindows = 10;
inline constexpr DWORD kDirSystem = 11;
inline constexpr DWORD kDirPrinterDrivers = 66000;
inline constexpr DWORD kDirPrintProcessors = 66001;
inline constexpr DWORD kDirPrintMonitors = 66002;
inline constexpr DWORD kDirColor = 66003;

// An INF file and the folder its source disks are relative to.
struct InfSource {
    std::u16string name;        // its file name: "MR2A.inf", "ntprint.inf"
    InfFile inf;
    std::u16string sourceRoot;  // a Windows folder; empty: paths stay relative
};

// The system's INF files that a package may name. The print UI's is the machine's INF
// folder; tests give their own.
class SystemInfs {
public:
    virtual ~SystemInfs() = default;
    // The system INF file of this name (case-insensitive), or null.
    virtual const InfSource* Find(std::u16string_view name) = 0;
    // The system INF file offering the core driver of this GUID, or null.
    virtual const InfSource* CoreDriver(std::u16string_view guid) = 0;
    // Where the system INF files are looked for, for messages.
    virtual std::string Where() const = 0;
};

// A fixed list of INF files playing the system's.
class InfLibrary : public SystemInfs {
public:
    explicit InfLibrary(std::string where = "the system's INF folder") : m_where(std::move(where)) {}
    void Add(InfSource source) { m_infs.push_back(std::move(source)); }
    const InfSource* Find(std::u16string_view name) override;
    const InfSource* CoreDriver(std::u16string_view guid) override;
    std::string Where() const override { return m_where; }

private:
    std::vector<InfSource> m_infs;
    std::string m_where;
};

struct PackageFile {
    std::u16string name;        // as installed
    std::u16string sourceName;  // as it lies in its package
    std::u16string sourceDir;   // the folder it comes from: the INF's source root and disk path
    DWORD dirId = kDirPrinterDrivers;
    std::u16string subdir;      // below the destination directory
    std::u16string inf;         // the INF file that names it
    bool system = false;        // it belongs to a system INF's package
};

struct DriverModel {
    std::u16string name;            // as the INF spells it
    std::u16string installSection;  // the (decorated) section used
    std::u16string driverFile, dataFile, configFile, helpFile;
    std::u16string monitorName, monitorFile;  // LanguageMonitor="name,file"
    std::vector<PackageFile> files;  // every file to copy, the four above included
    // The driver directory's files beyond the four, in copy order.
    std::vector<std::u16string> DependentFiles() const;
};

// The decoration suffix of an architecture: "NTamd64" for x64 and so on.
std::u16string ArchDecoration(Arch arch);

// Checks [Version]: a Windows NT signature, the printer class, and a version 3 package.
// A version 4 package (ClassVer=4.0) is refused with ERROR_NOT_SUPPORTED: Windows stages
// it in the driver store and runs it from there with its own configuration module and
// the package's manifest, a kind of driver this machine's spooler does not keep.
bool CheckPrinterInf(const InfFile& inf, Failure* failure);

// True when a model line of the INF, for any architecture, carries this hardware ID (a
// core driver's GUID is the ID of its model line).
bool OffersId(const InfFile& inf, std::u16string_view id);

// The models the INF offers on arch, in the INF's order, each once.
std::vector<std::u16string> ModelsFor(const InfFile& inf, Arch arch);

// The model named model (compared case-insensitively) for arch, with its files, from
// the package's INF and the system INF files it names.
std::optional<DriverModel> SelectModel(const InfSource& package, std::u16string_view model,
                                       Arch arch, SystemInfs& system, Failure* failure);

}  // namespace printui
