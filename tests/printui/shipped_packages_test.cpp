// The driver packages the installer ships, read as Windows reads them: each INF offers
// its model for the architectures its file serves and hands it to the universal printer
// driver of ntprint.inf with the model's GPD; the package holds nothing else.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "driver_package.h"
#include "gpd_checker.h"
#include "inf_file.h"
#include "platform/sim/system_drivers.h"
#include "platform/sim/text.h"

namespace fs = std::filesystem;
using printui::Failure;
using printui::InfFile;
using printui::Arch;

namespace {

struct Model {
    const char* code;
    const char16_t* name;
    const char* gpd;
};
const Model kModels[] = {
    {"MR2A", u"QB410 Printer", "mr2a.gpd"},
    {"MR3A", u"QD530 Printer", "mr3a.gpd"},
    {"MR5A", u"KELV MR5A Printer", "mr5a.gpd"},
    {"MR6A", u"KELV MR6A Printer", "mr6a.gpd"},
};

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

InfFile LoadShipped(const std::string& name, bool* utf16) {
    std::string bytes = ReadFile(fs::path(DROVAN_DRIVERS_DIR) / name);
    *utf16 = bytes.rfind("\xFF\xFE", 0) == 0;
    std::u16string text;
    std::string why;
    EXPECT_TRUE(printui::DecodeInfText(bytes, 1252, &text, &why)) << name << ": " << why;
    printui::InfSyntaxError error;
    auto inf = InfFile::Parse(text, &error);
    EXPECT_TRUE(inf) << name << ", line " << error.line << ": " << error.message;
    return inf ? *inf : InfFile();
}

printui::InfLibrary System() {
    printui::InfLibrary system("C:\\Windows\\INF");
    printui::InfSyntaxError error;
    system.Add({u"ntprint.inf", *InfFile::Parse(sim::ToUtf16(sim::NtprintInfText()), &error), u"C:\\Store"});
    return system;
}

// The hardware IDs of the model's line for arch.
std::vector<std::u16string> IdsOf(const InfFile& inf, Arch arch, std::u16string_view model) {
    const printui::InfLine* manufacturer = inf.FindKey(u"Manufacturer", u"Drovan");
    if (!manufacturer) return {};
    const printui::InfSection* models = inf.Find(u"Drovan." + printui::ArchDecoration(arch));
    if (!models) return {};
    for (const auto& line : models->lines)
        if (line.key && *line.key == model)
            return std::vector<std::u16string>(line.fields.begin() + 1, line.fields.end());
    return {};
}

}  // namespace

TEST(ShippedPackages, EachHandsItsModelToTheUniversalDriverForItsArchitectures) {
    int utf16 = 0, ansi = 0;
    for (const auto& m : kModels) {
        std::vector<std::u16string> idsSeen;
        for (bool x64 : {false, true}) {
            const std::string file = std::string(m.code) + (x64 ? "_x64.inf" : ".inf");
            SCOPED_TRACE(file);
            bool isUtf16 = false;
            InfFile inf = LoadShipped(file, &isUtf16);
            (isUtf16 ? utf16 : ansi)++;
            Failure failure;
            ASSERT_TRUE(printui::CheckPrinterInf(inf, &failure)) << failure.message;
            // The 32-bit file serves x86 and, picked by the installer there, ARM64.
            const std::vector<Arch> own = x64 ? std::vector{Arch::X64} : std::vector{Arch::X86, Arch::ARM64};
            for (Arch arch : {Arch::X86, Arch::X64, Arch::ARM64}) {
                bool served = std::find(own.begin(), own.end(), arch) != own.end();
                EXPECT_EQ(printui::ModelsFor(inf, arch),
                          served ? std::vector<std::u16string>{m.name} : std::vector<std::u16string>{})
                    << printui::ArchName(arch);
            }
            for (Arch arch : own) {
                printui::InfLibrary system = System();
                auto model = printui::SelectModel({sim::ToUtf16(file), inf, u"C:\\Setup"}, m.name, arch, system, &failure);
                ASSERT_TRUE(model) << failure.message;
                EXPECT_EQ(model->driverFile, u"UNIDRV.DLL");
                EXPECT_EQ(model->configFile, u"UNIDRVUI.DLL");
                EXPECT_EQ(model->helpFile, u"UNIDRV.HLP");
                EXPECT_EQ(model->dataFile, sim::ToUtf16(m.gpd));
                EXPECT_TRUE(model->monitorName.empty()) << "the printers answer no PJL";
                // The package brings its GPD and nothing else; every other file is the system's.
                std::set<std::u16string> own_files;
                for (const auto& f : model->files)
                    if (!f.system) own_files.insert(f.name);
                EXPECT_EQ(own_files, std::set<std::u16string>{sim::ToUtf16(m.gpd)});
                auto deps = model->DependentFiles();
                for (const char16_t* needed : {u"UNIRES.DLL", u"STDNAMES.GPD"})  // the GPD's resources
                    EXPECT_NE(std::find(deps.begin(), deps.end(), needed), deps.end()) << sim::ToUtf8(needed);

                // Plug and Play: the USB printing support's ID of the printer, and the same
                // printer on another bus; never the USB device's own ID.
                auto ids = IdsOf(inf, arch, m.name);
                ASSERT_EQ(ids.size(), 2u);
                EXPECT_EQ(ids[0].rfind(u"USBPRINT\\Drovan", 0), 0u) << sim::ToUtf8(ids[0]);
                EXPECT_EQ(ids[0].substr(9), ids[1]);
                EXPECT_LE(ids[1].size(), 24u) << "20 characters of maker and model, four of checksum";
                EXPECT_EQ(ids[1].find_first_not_of(u"0123456789ABCDEF", ids[1].size() - 4), std::u16string::npos);
                if (idsSeen.empty()) idsSeen = ids;
                EXPECT_EQ(ids, idsSeen) << "every file and architecture names the printer alike";
            }
            // A catalog is named only when it ships.
            if (const auto* catalog = inf.FindKey(u"Version", u"CatalogFile")) {
                EXPECT_TRUE(fs::is_regular_file(fs::path(DROVAN_DRIVERS_DIR) / sim::ToUtf8(catalog->Field(0))))
                    << "CatalogFile names " << sim::ToUtf8(catalog->Field(0)) << ", which does not ship";
            }
        }
        // The GPD describes the model the INF installs, and passes the checker.
        std::string gpd = ReadFile(fs::path(DROVAN_DRIVERS_DIR) / m.gpd);
        EXPECT_NE(gpd.find("*ModelName: \"" + sim::ToUtf8(m.name) + "\""), std::string::npos) << m.gpd;
        EXPECT_TRUE(gpd::Check(gpd, m.gpd).empty()) << gpd::Describe(gpd::Check(gpd, m.gpd));
    }
    EXPECT_GE(utf16, 2) << "both encodings of INF files are shipped";
    EXPECT_GE(ansi, 2);
}

TEST(ShippedPackages, HoldNothingThatPretendsToBeCode) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(DROVAN_DRIVERS_DIR)) names.insert(e.path().filename().string());
    std::set<std::string> expected = {"CMakeLists.txt", "make_packages.py"};
    for (const auto& m : kModels) {
        expected.insert(std::string(m.code) + ".inf");
        expected.insert(std::string(m.code) + "_x64.inf");
        expected.insert(m.gpd);
    }
    EXPECT_EQ(names, expected) << "res/drivers holds the INF files, the GPDs and their generator only";
}
