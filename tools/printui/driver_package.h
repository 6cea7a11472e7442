// What a printer INF offers: its models per processor architecture and, for one model,
// the driver's files. Setup's rules: [Manufacturer] entries name a models section with
// TargetOS decorations (NTx86, NTamd64, NTia64, NTarm64, optionally with a version), the
// closest decoration for the machine wins; model lines are "Model" = install-section[,
// hardware-id...]; the install section names the files by CopyFiles (a section, or
// @file), DriverFile, DataFile, ConfigFile and HelpFile.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "inf_file.h"
#include "platform/sim/machine.h"

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

struct PackageFile {
    std::u16string name;        // as installed in the driver directory
    std::u16string sourceName;  // as it lies in the package
    std::u16string sourceDir;   // relative to the INF's folder, empty for beside it
};

struct DriverModel {
    std::u16string name;            // as the INF spells it
    std::u16string installSection;  // the (decorated) section used
    std::u16string driverFile, dataFile, configFile, helpFile;
    std::vector<PackageFile> files;  // every file to copy, the four above included
    std::vector<std::u16string> DependentFiles() const;  // the files beyond the four
};

// The decoration suffix of an architecture: "NTamd64" for x64 and so on.
std::u16string ArchDecoration(sim::Arch arch);

// Checks [Version]: a Windows NT signature and the printer class.
bool CheckPrinterInf(const InfFile& inf, Failure* failure);

// The models the INF offers on arch, in the INF's order.
std::vector<std::u16string> ModelsFor(const InfFile& inf, sim::Arch arch);

// The model named model (compared case-insensitively) for arch, with its files.
std::optional<DriverModel> SelectModel(const InfFile& inf, std::u16string_view model,
                                       sim::Arch arch, Failure* failure);

}  // namespace printui
