#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "driver_package.h"
#include "inf_file.h"
#include "platform/sim/text.h"
#include "win32/errors.h"

using printui::Failure;
using printui::InfFile;
using sim::Arch;

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

}  // namespace

TEST(DriverPackageModels, TheClosestDecorationForTheArchitectureWins) {
    InfFile inf = WithManufacturer(u"Mfg = M, NTamd64, NTamd64.6.1, NTamd64.11.0, NT, NTarm64",
                                   u"[M]\n\"Plain\" = I\n"
                                   u"[M.NTamd64]\n\"Amd\" = I\n"
                                   u"[M.NTamd64.6.1]\n\"Amd61\" = I\n"
                                   u"[M.NTamd64.11.0]\n\"TooNew\" = I\n"
                                   u"[M.NT]\n\"Generic\" = I\n"
                                   u"[M.NTarm64]\n\"Arm\" = I\n");
    EXPECT_EQ(printui::ModelsFor(inf, Arch::X64), std::vector<std::u16string>{u"Amd61"})
        << "the latest applicable version of the machine's own architecture";
    EXPECT_EQ(printui::ModelsFor(inf, Arch::ARM64), std::vector<std::u16string>{u"Arm"});
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
        u"[Inst]\nInclude=ntprint.inf\nNeeds=UNIDRV\nCopyFiles=Files, @extra.ini\n"
        u"DriverFile=drv.dll\nConfigFile=ui.dll\nHelpFile=help.hlp\nDataSection=Shared\n"
        u"[Inst.NTamd64]\nCopyFiles=Files\nDriverFile=drv64.dll\nDataSection=Shared\n"
        u"[Shared]\nDataFile=shared.dat\nConfigFile=sharedui.dll\n"
        u"[Files]\ndrv64.dll\nrenamed.txt, original.txt\n"
        u"[SourceDisksNames]\n1 = \"Disk\",,,\\sub\n"
        u"[SourceDisksFiles]\ndrv64.dll = 1\noriginal.txt = 1, deeper\n");
    Failure failure;
    auto model = printui::SelectModel(inf, u"model a", Arch::X64, &failure);
    ASSERT_TRUE(model) << failure.message;
    EXPECT_EQ(model->name, u"Model A") << "the model name is matched case-insensitively";
    EXPECT_EQ(model->installSection, u"Inst.NTamd64") << "the decorated install section wins";
    EXPECT_EQ(model->driverFile, u"drv64.dll");
    EXPECT_EQ(model->dataFile, u"shared.dat");
    EXPECT_EQ(model->configFile, u"sharedui.dll");
    EXPECT_EQ(model->helpFile, u"");
    ASSERT_EQ(model->files.size(), 4u);
    EXPECT_EQ(model->files[0].name, u"drv64.dll");
    EXPECT_EQ(model->files[0].sourceDir, u"sub");
    EXPECT_EQ(model->files[1].name, u"renamed.txt");
    EXPECT_EQ(model->files[1].sourceName, u"original.txt");
    EXPECT_EQ(model->files[1].sourceDir, u"sub\\deeper");
    EXPECT_EQ(model->DependentFiles(), std::vector<std::u16string>{u"renamed.txt"});

    auto x86 = printui::SelectModel(inf, u"Model A", Arch::X86, &failure);
    EXPECT_FALSE(x86) << "the model is offered for x64 only";
    EXPECT_EQ(failure.code, static_cast<DWORD>(ERROR_UNKNOWN_PRINTER_DRIVER));
}

TEST(DriverPackageInstall, BrokenOrUnsafePackagesAreRefused) {
    struct Case {
        const char16_t* install;
        DWORD code;
    } cases[] = {
        {u"[I]\nCopyFiles=Missing\nDriverFile=d.dll\n", printui::kErrorSectionNotFound},
        {u"[I]\nDataFile=x.dat\n", printui::kErrorSectionNotFound},  // no DriverFile
        {u"[I]\nDriverFile=..\\..\\evil.dll\n", ERROR_INVALID_NAME},
        {u"[I]\nCopyFiles=@C:\\Windows\\evil.dll\nDriverFile=d.dll\n", ERROR_INVALID_NAME},
        {u"[I]\nCopyFiles=F\nDriverFile=d.dll\n[F]\nd.dll\n[SourceDisksFiles]\nd.dll=1,..\\..\n",
         ERROR_INVALID_NAME},
        {u"[I]\nCopyFiles=F\nDriverFile=d.dll\n[F]\nd.dll\n[DestinationDirs]\nF=11\n",
         ERROR_INVALID_DATA},
        {u"[Other]\nDriverFile=d.dll\n", printui::kErrorSectionNotFound},  // no section I
    };
    for (const auto& c : cases) {
        InfFile inf = WithManufacturer(u"Mfg = M, NTamd64",
                                       std::u16string(u"[M.NTamd64]\n\"P\" = I\n") + c.install);
        Failure failure;
        EXPECT_FALSE(printui::SelectModel(inf, u"P", Arch::X64, &failure)) << sim::ToUtf8(c.install);
        EXPECT_EQ(failure.code, c.code) << sim::ToUtf8(c.install) << ": " << failure.message;
    }
}

TEST(DriverPackageVersion, OnlyPrinterInfsOfWindowsNtAreAccepted) {
    Failure failure;
    EXPECT_TRUE(printui::CheckPrinterInf(Parse(kHeader), &failure));
    EXPECT_TRUE(printui::CheckPrinterInf(
        Parse(u"[version]\nsignature=$CHICAGO$\nClassGuid={4d36e979-e325-11ce-bfc1-08002be10318}\n"),
        &failure));
    EXPECT_FALSE(printui::CheckPrinterInf(Parse(u"[Version]\nSignature=\"$Windows 95$\"\nClass=Printer\n"), &failure));
    EXPECT_EQ(failure.code, printui::kErrorWrongInfStyle);
    EXPECT_FALSE(printui::CheckPrinterInf(Parse(u"[Version]\nSignature=\"$Windows NT$\"\nClass=Net\n"), &failure));
    EXPECT_EQ(failure.code, printui::kErrorClassMismatch);
}

// The packages the installer ships: each offers its model for its own architecture only,
// and every file it names ships beside it.
TEST(ShippedPackages, EachOffersItsModelForItsArchitectureWithItsFiles) {
    namespace fs = std::filesystem;
    struct Package {
        const char* file;
        const char16_t* model;
    } packages[] = {
        {"MR2A", u"QB410 Printer"}, {"MR3A", u"QD530 Printer"},
        {"MR5A", u"KELV MR5A Printer"}, {"MR6A", u"KELV MR6A Printer"},
    };
    int utf16 = 0, ansi = 0;
    for (const auto& p : packages) {
        for (bool x64 : {false, true}) {
            fs::path path = fs::path(DROVAN_DRIVERS_DIR) / (std::string(p.file) + (x64 ? "_x64.inf" : ".inf"));
            std::ifstream in(path, std::ios::binary);
            ASSERT_TRUE(in) << path;
            std::string bytes((std::istreambuf_iterator<char>(in)), {});
            (bytes.rfind("\xFF\xFE", 0) == 0 ? utf16 : ansi)++;
            std::u16string text;
            std::string why;
            ASSERT_TRUE(printui::DecodeInfText(bytes, 1252, &text, &why)) << why;
            InfFile inf = Parse(text);
            Failure failure;
            ASSERT_TRUE(printui::CheckPrinterInf(inf, &failure)) << path << failure.message;
            Arch own = x64 ? Arch::X64 : Arch::X86, other = x64 ? Arch::X86 : Arch::X64;
            EXPECT_EQ(printui::ModelsFor(inf, own), std::vector<std::u16string>{p.model}) << path;
            EXPECT_TRUE(printui::ModelsFor(inf, other).empty()) << path;
            auto model = printui::SelectModel(inf, p.model, own, &failure);
            ASSERT_TRUE(model) << path << ": " << failure.message;
            EXPECT_GE(model->files.size(), 5u);
            EXPECT_FALSE(model->helpFile.empty());
            for (const auto& f : model->files)
                EXPECT_TRUE(fs::is_regular_file(path.parent_path() / sim::ToUtf8(f.sourceName)))
                    << sim::ToUtf8(f.sourceName) << " of " << path;
        }
    }
    EXPECT_GE(utf16, 2);
    EXPECT_GE(ansi, 2);
}
