#include "system_drivers.h"

#include <fstream>
#include <string_view>
#include <vector>

namespace fs = std::filesystem;

namespace sim {
namespace {

// The printer class's INF of the simulated Windows. Vendor INFs reach it three ways:
// Include=ntprint.inf with Needs= naming an install section (UNIDRV.OEM ...), DataSection=
// naming a data section (UNIDRV_DATA ...), and, for package-aware drivers, the core driver
// GUIDs of CoreDriverSections= and CoreDriverDependencies=.
constexpr std::string_view kNtprintInf = R"inf(; ntprint.inf - the printer class's INF of the simulated Windows.
;
; Vendor packages include this file to install Windows' own printer drivers: the
; universal printer driver (Unidrv) for GPD minidrivers, the PostScript driver (PScript)
; for PPD minidrivers, and the XPS driver. Its files lie in the driver store package of
; this INF, one folder per processor architecture.

[Version]
Signature="$Windows NT$"
Class=Printer
ClassGUID={4D36E979-E325-11CE-BFC1-08002BE10318}
Provider=%Windows%
DriverVer=06/21/2006,10.0.19041.1

; The core drivers, by the GUIDs that package-aware vendor INFs name.
[Manufacturer]
%Windows%=CoreDrivers,NTx86,NTamd64,NTarm64

[CoreDrivers.NTx86]
%UnidrvCore%={D20EA372-DD35-4950-9ED8-A6335AFE79F0},{D20EA372-DD35-4950-9ED8-A6335AFE79F0}
%PscriptCore%={D20EA372-DD35-4950-9ED8-A6335AFE79F1},{D20EA372-DD35-4950-9ED8-A6335AFE79F1}
%XpsCore%={D20EA372-DD35-4950-9ED8-A6335AFE79F5},{D20EA372-DD35-4950-9ED8-A6335AFE79F5}

[CoreDrivers.NTamd64]
%UnidrvCore%={D20EA372-DD35-4950-9ED8-A6335AFE79F0},{D20EA372-DD35-4950-9ED8-A6335AFE79F0}
%PscriptCore%={D20EA372-DD35-4950-9ED8-A6335AFE79F1},{D20EA372-DD35-4950-9ED8-A6335AFE79F1}
%XpsCore%={D20EA372-DD35-4950-9ED8-A6335AFE79F5},{D20EA372-DD35-4950-9ED8-A6335AFE79F5}

[CoreDrivers.NTarm64]
%UnidrvCore%={D20EA372-DD35-4950-9ED8-A6335AFE79F0},{D20EA372-DD35-4950-9ED8-A6335AFE79F0}
%PscriptCore%={D20EA372-DD35-4950-9ED8-A6335AFE79F1},{D20EA372-DD35-4950-9ED8-A6335AFE79F1}
%XpsCore%={D20EA372-DD35-4950-9ED8-A6335AFE79F5},{D20EA372-DD35-4950-9ED8-A6335AFE79F5}

[{D20EA372-DD35-4950-9ED8-A6335AFE79F0}]
CopyFiles=UNIDRV_FILES

[{D20EA372-DD35-4950-9ED8-A6335AFE79F1}]
CopyFiles=PSCRIPT_FILES

[{D20EA372-DD35-4950-9ED8-A6335AFE79F5}]
CopyFiles=XPSDRV_FILES

; ---- Install sections for vendor INFs (Needs=) ----

; The universal printer driver.
[UNIDRV.OEM]
CopyFiles=UNIDRV_FILES

; The universal printer driver with the PJL language monitor, for printers that answer
; PJL status queries.
[UNIDRV_BIDI.OEM]
CopyFiles=UNIDRV_FILES,PJLMON_FILES

; The PostScript printer driver.
[PSCRIPT.OEM]
CopyFiles=PSCRIPT_FILES

; TrueType font substitution entries for Unidrv printers with printer fonts.
[TTFSUB.OEM]
CopyFiles=@TTFSUB.GPD

; The locale entries that GPD files may include.
[LOCALE.OEM]
CopyFiles=@LOCALE.GPD

; The system's sRGB colour profile.
[sRGBPROFILE.OEM]
CopyFiles=SRGB_PROFILE

; The XPS printer driver, and the GPD entries XPS minidrivers include.
[XPSDRV.OEM]
CopyFiles=XPSDRV_FILES

[XPSGPD.OEM]
CopyFiles=@MSXPSINC.GPD

; ---- Data sections for vendor INFs (DataSection=) ----

[UNIDRV_DATA]
DriverFile=UNIDRV.DLL
ConfigFile=UNIDRVUI.DLL
HelpFile=UNIDRV.HLP

[UNIDRV_BIDI_DATA]
DriverFile=UNIDRV.DLL
ConfigFile=UNIDRVUI.DLL
HelpFile=UNIDRV.HLP
LanguageMonitor=%PjlMonitor%

[PSCRIPT_DATA]
DriverFile=PSCRIPT5.DLL
ConfigFile=PS5UI.DLL
HelpFile=PSCRIPT.HLP

; ---- Files ----

[UNIDRV_FILES]
UNIDRV.DLL
UNIDRVUI.DLL
UNIRES.DLL
UNIDRV.HLP
STDNAMES.GPD
STDDTYPE.GDL
STDSCHEM.GDL
STDSCHMX.GDL

[PSCRIPT_FILES]
PSCRIPT5.DLL
PS5UI.DLL
PSCRIPT.HLP
PSCRIPT.NTF
PSCRPTFE.NTF
PS_SCHM.GDL

[XPSDRV_FILES]
MXDWDRV.DLL
XPSSVCS.DLL

[PJLMON_FILES]
PJLMON.DLL

[SRGB_PROFILE]
sRGB Color Space Profile.icm

[DestinationDirs]
DefaultDestDir=66000
PJLMON_FILES=66002
SRGB_PROFILE=66003

[SourceDisksNames.x86]
1=%Disk%,,,I386

[SourceDisksNames.amd64]
1=%Disk%,,,Amd64

[SourceDisksNames.arm64]
1=%Disk%,,,ARM64

[SourceDisksFiles]
UNIDRV.DLL=1
UNIDRVUI.DLL=1
UNIRES.DLL=1
UNIDRV.HLP=1
STDNAMES.GPD=1
STDDTYPE.GDL=1
STDSCHEM.GDL=1
STDSCHMX.GDL=1
TTFSUB.GPD=1
LOCALE.GPD=1
MSXPSINC.GPD=1
PSCRIPT5.DLL=1
PS5UI.DLL=1
PSCRIPT.HLP=1
PSCRIPT.NTF=1
PSCRPTFE.NTF=1
PS_SCHM.GDL=1
MXDWDRV.DLL=1
XPSSVCS.DLL=1
PJLMON.DLL=1
sRGB Color Space Profile.icm=1

[Strings]
Windows="Windows (simulated)"
UnidrvCore="Universal printer driver (core)"
PscriptCore="PostScript printer driver (core)"
XpsCore="XPS printer driver (core)"
PjlMonitor="PJL Language Monitor,PJLMON.DLL"
Disk="Windows printer drivers"
)inf";

// The package's folder in the driver store. Windows adds a hash of the package; ours is
// fixed, one package serving every architecture.
constexpr std::string_view kPackageFolder = "ntprint.inf_5d0c3a9e41b7f268";

// The architecture folders of the package, as [SourceDisksNames.*] names them.
constexpr std::string_view kArchFolders[] = {"I386", "Amd64", "ARM64"};

// The names under [SourceDisksFiles]: every file the package holds.
std::vector<std::string> PackageFiles() {
    std::vector<std::string> names;
    bool inSection = false;
    size_t pos = 0;
    while (pos < kNtprintInf.size()) {
        size_t end = kNtprintInf.find('\n', pos);
        if (end == std::string_view::npos) end = kNtprintInf.size();
        std::string_view line = kNtprintInf.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.front() == '[') {
            inSection = line == "[SourceDisksFiles]";
            continue;
        }
        size_t eq = line.find('=');
        if (inSection && eq != std::string_view::npos) names.emplace_back(line.substr(0, eq));
    }
    return names;
}

void WriteFile(const fs::path& path, std::string_view text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace

const std::string& NtprintInfText() {
    static const std::string* text = new std::string(kNtprintInf);
    return *text;
}

void WriteSystemDrivers(const fs::path& driveC) {
    std::error_code ec;
    fs::path infFolder = driveC / "Windows" / "INF";
    fs::path inf = infFolder / "ntprint.inf";
    fs::path package = driveC / "Windows" / "System32" / "DriverStore" / "FileRepository" /
                       std::string(kPackageFolder);
    // Either part present: the machine has had its drivers, and what is missing now was
    // taken away (as a test or an administrator may), not yet to come.
    if (fs::exists(inf, ec) || fs::exists(package, ec)) return;
    // One stand-in per file, in every architecture's folder: the first folder holds the
    // files, the others link to them (a machine is made in a fraction of the time).
    const fs::path first = package / std::string(kArchFolders[0]);
    for (std::string_view arch : kArchFolders) fs::create_directories(package / std::string(arch), ec);
    for (const auto& name : PackageFiles()) {
        WriteFile(first / name, name + ": a file of Windows' printer drivers on a simulated machine. It "
                                       "stands for the real file and holds no code.\r\n");
        for (std::string_view arch : kArchFolders) {
            fs::path other = package / std::string(arch) / name;
            if (other == first / name) continue;
            fs::create_hard_link(first / name, other, ec);
            if (ec) fs::copy_file(first / name, other, fs::copy_options::overwrite_existing, ec);
        }
    }
    std::string text;
    for (char c : kNtprintInf) {
        if (c == '\n') text += '\r';
        text += c;
    }
    WriteFile(package / "ntprint.inf", text);
    fs::create_directories(infFolder, ec);
    WriteFile(inf, text);
}

}  // namespace sim
