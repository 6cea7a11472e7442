#include <gtest/gtest.h>

#include <string>

#include "engine/Catalogue.h"
#include "engine/PrinterInfo.h"
#include "log_capture.h"

#ifndef _WIN32
#include "platform/sim/machine.h"
#endif

namespace {

std::string Narrow(const WCHAR* s) {
    std::string out;
    for (; *s; ++s) out += *s < 0x80 ? static_cast<char>(*s) : '?';
    return out;
}

std::u16string Repeat(char16_t c, size_t n) { return std::u16string(n, c); }

}  // namespace

TEST(PrinterInfo, ConstructionComputesTheProgramDirectory) {
    LogCapture capture;
    CPrinterInfo info;
    WCHAR module[MAX_PATH];
    GetModuleFileNameW(NULL, module, MAX_PATH);
    std::string dir = Narrow(module);
    dir = dir.substr(0, dir.rfind('\\') + 1);
    EXPECT_EQ(Narrow(info.m_szAppPath), dir);
    EXPECT_EQ(info.m_szInfPath[0], 0);
    EXPECT_EQ(info.m_szPrinterName[0], 0);
    EXPECT_EQ(info.m_szPortName[0], 0);
    ASSERT_EQ(capture.Lines().size(), 1u);
    EXPECT_EQ(capture.Lines()[0], "kwl at PrinterInfo GetAppPath() m_szAppPath=" + dir);
}

TEST(PrinterInfo, SettersFillTheFieldsAndLogThem) {
    CPrinterInfo info;
    LogCapture capture;
    info.SetPrinterName(TEXT("QD530 Printer"));
    info.SetInfFilePath(TEXT("MR3A_x64.inf"));
    info.SetInfFilePath(TEXT("MR3A_x64.inf"));  // composed afresh, never stacked
    info.SetPortName(TEXT("COM1:"));
    std::string dir = Narrow(info.m_szAppPath);
    EXPECT_EQ(Narrow(info.m_szInfPath), dir + "MR3A_x64.inf");
    EXPECT_TRUE(info.IsComplete());
    EXPECT_EQ(capture.Lines(), (std::vector<std::string>{
                                   "kwl at PrinterInfo SetPrinterName() m_szPrinterName=QD530 Printer",
                                   "kwl at PrinterInfo SetInfFilePath() m_szInfPath=" + dir + "MR3A_x64.inf",
                                   "kwl at PrinterInfo SetInfFilePath() m_szInfPath=" + dir + "MR3A_x64.inf",
                                   "kwl at PrinterInfo SetInfFilePath() m_szPortName=COM1:",
                               }));
}

TEST(PrinterInfo, ValuesThatDoNotFitAreRefusedNotTruncated) {
    CPrinterInfo info;
    std::u16string longest = Repeat(u'P', 199), tooLong = Repeat(u'P', 200);
    info.SetPrinterName(reinterpret_cast<LPCWSTR>(longest.c_str()));
    EXPECT_TRUE(info.IsComplete()) << "199 characters and the terminator fit in 200";
    EXPECT_EQ(wcslen(info.m_szPrinterName), 199u);

    LogCapture capture;
    info.SetPrinterName(reinterpret_cast<LPCWSTR>(tooLong.c_str()));
    EXPECT_FALSE(info.IsComplete());
    EXPECT_EQ(info.m_szPrinterName[0], 0) << "no shortened name is left behind";
    ASSERT_EQ(capture.Lines().size(), 1u);
    EXPECT_EQ(capture.Lines()[0], "kwl at PrinterInfo SetPrinterName() refused nLength=200,nCapacity=200");

    info.SetPrinterName(TEXT("QB410 Printer"));
    EXPECT_TRUE(info.IsComplete()) << "a value that fits clears the refusal";

    info.SetPortName(reinterpret_cast<LPCWSTR>(tooLong.c_str()));
    EXPECT_FALSE(info.IsComplete());
    info.SetPortName(TEXT("LPT1:"));
    EXPECT_TRUE(info.IsComplete());

    size_t room = 259 - wcslen(info.m_szAppPath);
    std::u16string fits = Repeat(u'i', room), over = Repeat(u'i', room + 1);
    info.SetInfFilePath(reinterpret_cast<LPCWSTR>(fits.c_str()));
    EXPECT_TRUE(info.IsComplete());
    EXPECT_EQ(wcslen(info.m_szInfPath), 259u);
    info.SetInfFilePath(reinterpret_cast<LPCWSTR>(over.c_str()));
    EXPECT_FALSE(info.IsComplete()) << "directory plus file name of 260 characters does not fit";
    EXPECT_EQ(info.m_szInfPath[0], 0);
}

TEST(Catalogue, FourModelsWithTwoInfColumns) {
    struct Row {
        UINT id;
        const char* inf32;
        const char* inf64;
        const char* printer;
    };
    for (Row r : {Row{1030, "MR2A.inf", "MR2A_x64.inf", "QB410 Printer"},
                  Row{1031, "MR3A.inf", "MR3A_x64.inf", "QD530 Printer"},
                  Row{1032, "MR5A.inf", "MR5A_x64.inf", "KELV MR5A Printer"},
                  Row{1053, "MR6A.inf", "MR6A_x64.inf", "KELV MR6A Printer"}}) {
        const CatalogueRow* row = FindCatalogueRow(r.id);
        ASSERT_NE(row, nullptr) << r.id;
        EXPECT_EQ(Narrow(CatalogueInfFile(*row, false)), r.inf32);
        EXPECT_EQ(Narrow(CatalogueInfFile(*row, true)), r.inf64);
        EXPECT_EQ(Narrow(row->pszPrinterName), r.printer);
    }
    EXPECT_EQ(FindCatalogueRow(1005), nullptr) << "a paper-width option is no model";
}

#ifndef _WIN32
TEST(Catalogue, ArchitectureChoosesTheInfColumn) {
    struct Case {
        sim::Arch arch;
        bool is64;
    };
    sim::MachineSettings saved = sim::CurrentMachine().Settings();
    for (Case c : {Case{sim::Arch::X86, false}, Case{sim::Arch::X64, true}, Case{sim::Arch::IA64, true},
                   Case{sim::Arch::ARM64, false}}) {
        sim::CurrentMachine().SetSettings({c.arch, saved.lang});
        EXPECT_EQ(Is64BitSystem(), c.is64) << sim::ArchName(c.arch);
        CPrinterInfo info;
        info.SetInfFilePath(CatalogueInfFile(*FindCatalogueRow(1032), Is64BitSystem()));
        std::string inf = Narrow(info.m_szInfPath);
        EXPECT_EQ(inf.substr(inf.rfind('\\') + 1), c.is64 ? "MR5A_x64.inf" : "MR5A.inf") << sim::ArchName(c.arch);
    }
    sim::CurrentMachine().SetSettings(saved);
}
#endif
