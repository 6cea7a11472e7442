// Driver packages read as Windows' printer class installer reads them: models by
// architecture, the install section with its data sections, and the system's own
// sections (ntprint.inf) that Include/Needs and core driver GUIDs bring in. The INF files
// here are our own, written with the constructs of Microsoft's public Unidrv, PScript,
// GDL and XPSDrv driver samples.
#include <gtest/gtest.h>

#include <algorithm>

#include "driver_package.h"
#include "inf_file.h"
#include "platform/sim/system_drivers.h"
#include "platform/sim/text.h"
#include "win32/errors.h"

using printui::Failure;
using printui::InfFile;
using printui::InfSource;
using printui::Arch;

namespace {

InfFile Parse(std::u16string_view text) {
    printui::InfSyntaxError error;
    auto inf = InfFile::Parse(text, &error);
    EXPECT_TRUE(inf) << error.line << ": " << error.message;
    return inf ? *inf : InfFile();
}

const char16_t kHeader[] =
    u"[Version]\nSignature=\"$Windows NT$\"\nClass=Printer\n"
    u"[DestinationDirs]\nDefaultDestDir=66000\n";

InfFile WithManufacturer(std::u16string_view manufacturer, std::u16string_view rest) {
    return Parse(std::u16string(kHeader) + u"[Manufacturer]\n" + std::u16string(manufacturer) +
                 u"\n" + std::u16string(rest));
}

InfSource Package(InfFile inf, std::u16string root = u"") { return {u"PKG.inf", std::move(inf), std::move(root)}; }

// The machine's own ntprint.inf, its package in a store folder.
printui::InfLibrary SystemInfs() {
    printui::InfLibrary system("C:\\Windows\\INF");
    system.Add({u"ntprint.inf", Parse(sim::ToUtf16(sim::NtprintInfText())), u"C:\\Store\\ntprint"});
    return system;
}

std::optional<printui::DriverModel> Select(const InfSource& package, std::u16string_view model, Arch arch,
                                           Failure* failure) {
    printui::InfLibrary system = SystemInfs();
    return printui::SelectModel(package, model, arch, system, failure);
}

const printui::PackageFile* FileNamed(const printui::DriverModel& m, std::u16string_view name) {
    for (const auto& f : m.files)
        if (sim::EqualsNoCase(f.name, name)) return &f;
    return nullptr;
}

bool Has(const std::vector<std::u16string>& names, std::u16string_view name) {
    return std::any_of(names.begin(), names.end(), [&](const auto& n) { return sim::EqualsNoCase(n, name); });
}

}  // namespace

TEST(DriverPackageModels, TheClosestDecorationForTheArchitectureWins) {
    InfFile inf = WithManufacturer(u"Mfg = M, NTamd64, NTamd64.6.1, NTamd64.11.0, NT, NTarm64",
                                   u"[M]\n\"Plain\" = I\n"
                                   u"[M.NTamd64]\n\"Amd\" = I\n"
                                   u"[M.NTamd64.6.1]\n\"Amd61\" = I\n"
                                   u"[M.NTamd64.11.0]\n\"TooNew\" = I\n"
                                   u"[M.NT]\n\"Generic\" = I\n"
                                   u"[M.NTarm64]\n\"Arm\" = I\n\"Arm\" = I, OTHERBUS\\ID\n");
    EXPECT_EQ(printui::ModelsFor(inf, Arch::X64), std::vector<std::u16string>{u"Amd61"})
        << "the latest applicable version of the machine's own architecture";
    EXPECT_EQ(printui::ModelsFor(inf, Arch::ARM64), std::vector<std::u16string>{u"Arm"})
        << "a model listed once per bus is one model";
    EXPECT_EQ(printui::ModelsFor(inf, Arch::X86), std::vector<std::u16string>{u"Generic"})
        << "a generic NT decoration beats the undecorated section";
    EXPECT_EQ(printui::ModelsFor(inf, Arch::IA64), std::vector<std::u16string>{u"Generic"});
}

TEST(DriverPackageModels, UndecoratedSectionsServeX86Only) {
    InfFile inf = WithManufacturer(u"Mfg = M\n\"Old Style\"",
                                   u"[M]\n\"Model\" = I\n[Old Style]\n\"Legacy\" = I\n");
    EXPECT_EQ(printui::ModelsFor(inf, Arch::X86), (std::vector<std::u16string>{u"Model", u"Legacy"}));
    EXPECT_TRUE(printui::ModelsFor(inf, Arch::X64).empty());
    InfFile x86only = WithManufacturer(u"Mfg = M, NTx86", u"[M.NTx86]\n\"A\" = I\n");
    EXPECT_TRUE(printui::ModelsFor(x86only, Arch::X64).empty());
}

TEST(DriverPackageInstall, FilesComeFromCopyFilesAndTheDriverDirectives) {
    InfFile inf = WithManufacturer(
        u"Mfg = M, NTamd64",
        u"[M.NTamd64]\n\"Model A\" = Inst, HWID\n"
        u"[Inst]\nCopyFiles=Files, @extra.ini\nDriverFile=drv.dll\nConfigFile=ui.dll\nHelpFile=help.hlp\n"
        u"[Inst.NTamd64]\nCopyFiles=Files\nDriverFile=drv64.dll\nDataSection=Shared\n"
        u"[Shared]\nDataFile=shared.dat\nConfigFile=sharedui.dll\n"
        u"[Files]\ndrv64.dll\nrenamed.txt, original.txt\n"
        u"[SourceDisksNames]\n1 = \"Disk\",,,\\sub\n"
        u"[SourceDisksFiles]\ndrv64.dll = 1\noriginal.txt = 1, deeper\n");
    Failure failure;
    auto model = Select(Package(inf, u"C:\\Setup"), u"model a", Arch::X64, &failure);
    ASSERT_TRUE(model) << failure.message;
    EXPECT_EQ(model->name, u"Model A") << "the model name is matched case-insensitively";
    EXPECT_EQ(model->installSection, u"Inst.NTamd64") << "the decorated install section wins";
    EXPECT_EQ(model->driverFile, u"drv64.dll");
    EXPECT_EQ(model->dataFile, u"shared.dat");
    EXPECT_EQ(model->configFile, u"sharedui.dll");
    EXPECT_EQ(model->helpFile, u"");
    ASSERT_EQ(model->files.size(), 4u);
    EXPECT_EQ(model->files[0].name, u"drv64.dll");
    EXPECT_EQ(model->files[0].sourceDir, u"C:\\Setup\\sub");
    EXPECT_EQ(model->files[1].name, u"renamed.txt");
    EXPECT_EQ(model->files[1].sourceName, u"original.txt");
    EXPECT_EQ(model->files[1].sourceDir, u"C:\\Setup\\sub\\deeper");
    EXPECT_FALSE(model->files[1].system);
    EXPECT_EQ(model->DependentFiles(), std::vector<std::u16string>{u"renamed.txt"});

    auto x86 = Select(Package(inf), u"Model A", Arch::X86, &failure);
    EXPECT_FALSE(x86) << "the model is offered for x64 only";
    EXPECT_EQ(failure.code, static_cast<DWORD>(ERROR_UNKNOWN_PRINTER_DRIVER));
}

// A GPD minidriver as the Unidrv and GDL samples build one: several CopyFiles lines, no
// DriverFile of its own, the data section and install section of ntprint.inf, a
// resource DLL per architecture from a folder of its disk.
TEST(DriverPackageSystemSections, AUnidrvMinidriverGetsTheUniversalDriverFromNtprint) {
    InfFile inf = Parse(
        u"[Version]\nSignature=\"$Windows NT$\"\nProvider=%Maker%\nLayoutFile=ntprint.inf\n"
        u"ClassGUID={4D36E979-E325-11CE-BFC1-08002BE10318}\nClass=Printer\n"
        u"[Manufacturer]\n\"Maker\"=Maker,NTx86,NTamd64,NTarm64\n"
        u"[Maker.NTamd64]\n\"Tiny Receipt\" = TINY\n"
        u"[Maker.NTarm64]\n\"Tiny Receipt\" = TINY\n"
        u"[TINY]\nCopyFiles=@TINY.GPD\nCopyFiles=@TINY.INI\nCopyFiles=@TINYRES.DLL\nDataFile=TINY.GPD\n"
        u"DataSection=UNIDRV_DATA\nInclude=NTPRINT.INF\nNeeds=UNIDRV.OEM,UNIDRV_DATA\n"
        u"[SourceDisksNames]\n100 = %Disk%\n"
        u"[SourceDisksFiles.amd64]\nTINYRES.DLL = 100,amd64\n[SourceDisksFiles.arm64]\nTINYRES.DLL = 100,arm64\n"
        u"[SourceDisksFiles]\nTINY.GPD = 100\nTINY.INI = 100\n"
        u"[DestinationDirs]\nDefaultDestDir=66000\n[Strings]\nMaker=\"Maker\"\nDisk=\"Disk\"\n");
    for (auto [arch, folder] : {std::pair{Arch::X64, u"Amd64"}, std::pair{Arch::ARM64, u"ARM64"}}) {
        Failure failure;
        auto model = Select(Package(inf, u"C:\\Pkg"), u"Tiny Receipt", arch, &failure);
        ASSERT_TRUE(model) << failure.message;
        EXPECT_EQ(model->driverFile, u"UNIDRV.DLL");
        EXPECT_EQ(model->configFile, u"UNIDRVUI.DLL");
        EXPECT_EQ(model->helpFile, u"UNIDRV.HLP");
        EXPECT_EQ(model->dataFile, u"TINY.GPD");
        EXPECT_TRUE(model->monitorName.empty());
        auto deps = model->DependentFiles();
        for (const char16_t* name : {u"TINY.INI", u"TINYRES.DLL", u"UNIRES.DLL", u"STDNAMES.GPD"})
            EXPECT_TRUE(Has(deps, name)) << sim::ToUtf8(name);
        EXPECT_FALSE(Has(deps, u"UNIDRV.DLL")) << "the four main files are not dependent files";
        const auto* unidrv = FileNamed(*model, u"UNIDRV.DLL");
        ASSERT_NE(unidrv, nullptr);
        EXPECT_TRUE(unidrv->system);
        EXPECT_EQ(unidrv->inf, u"ntprint.inf");
        EXPECT_EQ(unidrv->sourceDir, std::u16string(u"C:\\Store\\ntprint\\") + folder)
            << "the system's files come from its package's folder for the architecture";
        const auto* res = FileNamed(*model, u"TINYRES.DLL");
        ASSERT_NE(res, nullptr);
        EXPECT_FALSE(res->system);
        EXPECT_EQ(res->sourceDir, arch == Arch::X64 ? u"C:\\Pkg\\amd64" : u"C:\\Pkg\\arm64");
    }
}

// A PPD minidriver as the PScript samples build one.
TEST(DriverPackageSystemSections, APscriptMinidriverGetsThePostScriptDriver) {
    InfFile inf = WithManufacturer(
        u"\"Maker\"=Maker,NTamd64",
        u"[Maker.NTamd64]\n\"Tiny PS\" = INSTALL_PS\n"
        u"[INSTALL_PS]\nCopyFiles=@TINY.PPD\nCopyFiles=TINYPS\nDataFile=TINY.PPD\nDataSection=PSCRIPT_DATA\n"
        u"Include=NTPRINT.INF\nNeeds=PSCRIPT.OEM,PSCRIPT_DATA\n"
        u"[TINYPS]\nTINYPS.DLL\n");
    Failure failure;
    auto model = Select(Package(inf), u"Tiny PS", Arch::X64, &failure);
    ASSERT_TRUE(model) << failure.message;
    EXPECT_EQ(model->driverFile, u"PSCRIPT5.DLL");
    EXPECT_EQ(model->configFile, u"PS5UI.DLL");
    EXPECT_EQ(model->helpFile, u"PSCRIPT.HLP");
    EXPECT_EQ(model->dataFile, u"TINY.PPD");
    EXPECT_TRUE(Has(model->DependentFiles(), u"PSCRIPT.NTF"));
    EXPECT_TRUE(Has(model->DependentFiles(), u"TINYPS.DLL"));
    EXPECT_EQ(FileNamed(*model, u"UNIDRV.DLL"), nullptr);
}

// A package-aware XPS minidriver as the XPSDrv sample builds one: a section for Windows
// before Vista and one for 6.0 and later, core drivers by GUID, colour profiles in the
// colour directory.
TEST(DriverPackageSystemSections, APackageAwareXpsDriverNamesItsCoreDriversByGuid) {
    InfFile inf = WithManufacturer(
        u"%Mfg%=Standard,NTx86,NTamd64,NTx86.6.0,NTamd64.6.0,NTarm64.6.0",
        u"[Standard.NTamd64]\n\"Tiny XPS\" = PRE_VISTA\n"
        u"[Standard.NTamd64.6.0]\n\"Tiny XPS\" = VISTA\n"
        u"[PRE_VISTA]\nCopyFiles=XPSFILES\nDriverFile=mxdwdrv.dll\nConfigFile=UniDrvUI.dll\nDataFile=TINYXPS.GPD\n"
        u"Include=NTPRINT.INF, MSXPSDRV.INF\nNeeds=UNIDRV.OEM, XPSGPD.OEM, XPSDRV.OEM\n"
        u"[VISTA]\nCopyFiles=XPSFILES,COLORPROFILES\nDriverFile=mxdwdrv.dll\nConfigFile=UniDrvUI.dll\n"
        u"HelpFile=UniDrv.HLP\nDataFile=TINYXPS.GPD\nICMProfiles=tinyRGB.icc\n"
        u"CoreDriverSections=\"{D20EA372-DD35-4950-9ED8-A6335AFE79F0},UNIDRV.OEM\", "
        u"\"{D20EA372-DD35-4950-9ED8-A6335AFE79F5},XPSDRV.OEM,XPSGPD.OEM\"\n"
        u"[PrinterPackageInstallation.amd64]\nPackageAware=TRUE\n"
        u"CoreDriverDependencies={D20EA372-DD35-4950-9ED8-A6335AFE79F0}, {D20EA372-DD35-4950-9ED8-A6335AFE79F5}\n"
        u"[DestinationDirs]\nCOLORPROFILES=66003\n"
        u"[COLORPROFILES]\ntinyRGB.icc\ntinyCMYK.icc\n"
        u"[XPSFILES]\nTINYXPS.GPD\ntiny-pipelineconfig.xml\n"
        u"[SourceDisksNames.amd64]\n1 = %Location%,,\n2 = %Location%,,,amd64\n"
        u"[SourceDisksFiles]\nTINYXPS.GPD=1\ntiny-pipelineconfig.xml=1\ntinyRGB.icc=1\ntinyCMYK.icc=1\n"
        u"[Strings]\nMfg=\"Maker\"\nLocation=\"Disk\"\n");
    Failure failure;
    auto model = Select(Package(inf, u"C:\\Pkg"), u"Tiny XPS", Arch::X64, &failure);
    ASSERT_TRUE(model) << failure.message;
    EXPECT_EQ(model->installSection, u"VISTA") << "Windows 10 takes the section for 6.0 and later";
    EXPECT_EQ(model->driverFile, u"mxdwdrv.dll");
    const auto* xps = FileNamed(*model, u"MXDWDRV.DLL");
    ASSERT_NE(xps, nullptr);
    EXPECT_TRUE(xps->system) << "the XPS driver comes with the core driver, not the package";
    ASSERT_NE(FileNamed(*model, u"UNIDRVUI.DLL"), nullptr);
    EXPECT_TRUE(FileNamed(*model, u"UNIDRVUI.DLL")->system);
    ASSERT_NE(FileNamed(*model, u"MSXPSINC.GPD"), nullptr);
    const auto* profile = FileNamed(*model, u"tinyRGB.icc");
    ASSERT_NE(profile, nullptr);
    EXPECT_EQ(profile->dirId, printui::kDirColor);
    EXPECT_FALSE(Has(model->DependentFiles(), u"tinyRGB.icc")) << "colour profiles are no driver files";
    EXPECT_TRUE(Has(model->DependentFiles(), u"tiny-pipelineconfig.xml"));

    // A core driver this machine does not have.
    InfFile unknown = Parse(std::u16string(kHeader) +
                            u"[Manufacturer]\nM=M,NTamd64\n[M.NTamd64]\n\"P\"=I\n[I]\nDriverFile=d.dll\n"
                            u"[PrinterPackageInstallation.amd64]\nCoreDriverDependencies={00000000-0000-0000-0000-000000000001}\n");
    EXPECT_FALSE(Select(Package(unknown), u"P", Arch::X64, &failure));
    EXPECT_EQ(failure.code, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_NE(failure.message.find("{00000000-0000-0000-0000-000000000001}"), std::string::npos) << failure.message;
}

TEST(DriverPackageSystemSections, TheBidirectionalDriverBringsItsLanguageMonitor) {
    InfFile inf = WithManufacturer(
        u"M=M,NTamd64", u"[M.NTamd64]\n\"Bidi\" = B\n"
                        u"[B]\nCopyFiles=@B.GPD\nDataFile=B.GPD\nDataSection=UNIDRV_BIDI_DATA\n"
                        u"Include=ntprint.inf\nNeeds=UNIDRV_BIDI.OEM,TTFSUB.OEM\n");
    Failure failure;
    auto model = Select(Package(inf), u"Bidi", Arch::X64, &failure);
    ASSERT_TRUE(model) << failure.message;
    EXPECT_EQ(model->monitorName, u"PJL Language Monitor");
    EXPECT_EQ(model->monitorFile, u"PJLMON.DLL");
    const auto* monitor = FileNamed(*model, u"PJLMON.DLL");
    ASSERT_NE(monitor, nullptr);
    EXPECT_EQ(monitor->dirId, printui::kDirPrintMonitors);
    EXPECT_FALSE(Has(model->DependentFiles(), u"PJLMON.DLL"));
    EXPECT_TRUE(Has(model->DependentFiles(), u"TTFSUB.GPD"));
}

TEST(DriverPackageInstall, BrokenOrUnsafePackagesAreRefused) {
    struct Case {
        const char16_t* install;
        DWORD code;
        const char* says;  // part of the message
    } cases[] = {
        {u"[I]\nCopyFiles=Missing\nDriverFile=d.dll\n", printui::kErrorSectionNotFound, "[Missing]"},
        {u"[I]\nDataFile=x.dat\n", printui::kErrorSectionNotFound, "names no DriverFile"},
        {u"[I]\nDriverFile=..\\..\\evil.dll\n", ERROR_INVALID_NAME, "not a plain file name"},
        {u"[I]\nCopyFiles=@C:\\Windows\\evil.dll\nDriverFile=d.dll\n", ERROR_INVALID_NAME, "not a plain file name"},
        {u"[I]\nCopyFiles=F\nDriverFile=d.dll\n[F]\nd.dll\n[SourceDisksFiles]\nd.dll=1,..\\..\n",
         ERROR_INVALID_NAME, "outside the package"},
        {u"[I]\nCopyFiles=F\nDriverFile=d.dll\n[F]\nd.dll\n[DestinationDirs]\nF=24\n", ERROR_INVALID_DATA,
         "directory id 24"},
        {u"[I]\nCopyFiles=F\nDriverFile=d.dll\n[F]\nd.dll\n[DestinationDirs]\nF=66000,sub\n", ERROR_INVALID_NAME,
         "driver directory itself"},
        {u"[I]\nCopyFiles=F\nDriverFile=d.dll\n[F]\nx.icm\n[DestinationDirs]\nF=66003,..\\..\n", ERROR_INVALID_NAME,
         "leaves their directory"},
        {u"[Other]\nDriverFile=d.dll\n", printui::kErrorSectionNotFound, "[I] of model"},
        // The system's sections: an INF that is not there, sections ntprint.inf lacks.
        {u"[I]\nInclude=nosuch.inf\nNeeds=UNIDRV.OEM\n", ERROR_FILE_NOT_FOUND, "\"nosuch.inf\""},
        {u"[I]\nInclude=ntprint.inf\nNeeds=UNIDRV_BIDI\nDataSection=UNIDRV_DATA\nDataFile=x.gpd\n",
         printui::kErrorSectionNotFound, "the section [UNIDRV_BIDI] that [I] needs is not in ntprint.inf"},
        {u"[I]\nNeeds=UNIDRV.OEM\nDriverFile=d.dll\n", printui::kErrorSectionNotFound,
         "the section [UNIDRV.OEM] that [I] needs is not in an included INF file"},
        {u"[I]\nInclude=ntprint.inf\nNeeds=UNIDRV.OEM\nDataSection=UNIDRV_DAT\n", printui::kErrorSectionNotFound,
         "the data section [UNIDRV_DAT]"},
        {u"[I]\nCoreDriverSections=\"{D20EA372-DD35-4950-9ED8-A6335AFE79F0},UNIDRV.NOPE\"\nDriverFile=d.dll\n",
         printui::kErrorSectionNotFound, "[UNIDRV.NOPE]"},
        {u"[I]\nDriverFile=d.dll\nLanguageMonitor=\"Lonely Monitor\"\n", ERROR_INVALID_DATA, "names no monitor file"},
        {u"[I]\nDriverFile=d.dll\nLanguageMonitor=\"..\\Print\\Evil,evil.dll\"\n", ERROR_INVALID_DATA, "language monitor"},
    };
    for (const auto& c : cases) {
        InfFile inf = WithManufacturer(u"Mfg = M, NTamd64",
                                       std::u16string(u"[M.NTamd64]\n\"P\" = I\n") + c.install);
        Failure failure;
        EXPECT_FALSE(Select(Package(inf), u"P", Arch::X64, &failure)) << sim::ToUtf8(c.install);
        EXPECT_EQ(failure.code, c.code) << sim::ToUtf8(c.install) << ": " << failure.message;
        EXPECT_NE(failure.message.find(c.says), std::string::npos) << failure.message;
    }
}

TEST(DriverPackageVersion, OnlyVersion3PrinterInfsOfWindowsNtAreAccepted) {
    Failure failure;
    EXPECT_TRUE(printui::CheckPrinterInf(Parse(kHeader), &failure));
    EXPECT_TRUE(printui::CheckPrinterInf(
        Parse(u"[version]\nsignature=$CHICAGO$\nClassGuid={4d36e979-e325-11ce-bfc1-08002be10318}\nClassVer=3.0\n"),
        &failure));
    struct Case {
        const char16_t* version;
        DWORD code;
    } cases[] = {
        {u"[Version]\nSignature=\"$Windows 95$\"\nClass=Printer\n", printui::kErrorWrongInfStyle},
        {u"[Version]\nSignature=\"$Windows NT$\"\nClass=Net\n", printui::kErrorClassMismatch},
        {u"[Version]\nSignature=\"$Windows NT$\"\nClass=Printer\nClassVer=4.0 ; v4 setup\n", ERROR_NOT_SUPPORTED},
        {u"[Version]\nSignature=\"$Windows NT$\"\nClass=Printer\nClassVer=5.0\n", printui::kErrorWrongInfStyle},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(printui::CheckPrinterInf(Parse(c.version), &failure)) << sim::ToUtf8(c.version);
        EXPECT_EQ(failure.code, c.code) << failure.message;
    }
    EXPECT_NE(failure.message.find("5.0"), std::string::npos);
    printui::CheckPrinterInf(Parse(cases[2].version), &failure);
    EXPECT_NE(failure.message.find("version 4"), std::string::npos) << failure.message;
}
