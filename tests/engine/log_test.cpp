#include <gtest/gtest.h>

#include <new>

#include "engine/Log.h"
#include "engine/PrinterInfo.h"
#include "log_capture.h"

TEST(Log, OpenAndWriteAlwaysSucceedAndWriteNothing) {
    CLogFile log;
    EXPECT_EQ(log.Open(), 1);
    const BYTE line[] = "kwl at begin...";
    EXPECT_EQ(log.Write(line, sizeof line), 1);
    EXPECT_EQ(GetFileAttributesW(TEXT("d:\\myLog.txt")), INVALID_FILE_ATTRIBUTES)
        << "the sink is off: no log file may appear";
}

TEST(Log, WriteWorksOnALogWhoseConstructorHasNotRun) {
    // The global printer record logs during static construction, before g_log exists.
    alignas(CLogFile) unsigned char storage[sizeof(CLogFile)] = {};
    CLogFile* unconstructed = reinterpret_cast<CLogFile*>(storage);
    const BYTE line[4] = {'a', 0, 0, 0};
    EXPECT_EQ(std::launder(unconstructed)->Write(line, 4), 1);
}

TEST(Log, LinesAreHandedOverAsTwoNPlusTwoBytesWithAZeroTail) {
    LogCapture capture;
    CPrinterInfo info;
    capture.Clear();
    info.SetPrinterName(TEXT("QB410 Printer"));
    auto raw = capture.Raw();
    ASSERT_EQ(raw.size(), 1u);
    std::string text = "kwl at PrinterInfo SetPrinterName() m_szPrinterName=QB410 Printer";
    EXPECT_EQ(raw[0].size(), 2 * text.size() + 2) << "the byte count counts wide characters";
    EXPECT_EQ(raw[0].substr(0, text.size()), text);
    EXPECT_EQ(raw[0].substr(text.size()), std::string(text.size() + 2, '\0'));
}

TEST(Log, CharactersOutsideTheAnsiCodePageBecomeTheDefaultCharacter) {
    if (GetACP() != 1252) GTEST_SKIP() << "needs a Western code page; this one is " << GetACP();
    LogCapture capture;
    CPrinterInfo info;
    capture.Clear();
    info.SetPrinterName(TEXT("\x6253\x5370\x673A QB410"));  // a Chinese printer name
    auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "kwl at PrinterInfo SetPrinterName() m_szPrinterName=??? QB410");
    EXPECT_EQ(capture.Raw()[0].size(), 2 * lines[0].size() + 2) << "still handed over whole";
}
