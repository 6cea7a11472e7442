// CString and CFile as the installer uses them.
#include <gtest/gtest.h>

#include "platform/ui/afx.h"

namespace {

TEST(CStringTest, FormatFindAndSlices) {
    CString s;
    s.Format(TEXT("%s has %d printers (0x%x)"), TEXT("QB410 Printer"), 2, 255);
    EXPECT_EQ(s, TEXT("QB410 Printer has 2 printers (0xff)"));
    EXPECT_EQ(s.Find(TEXT("Printer")), 6);
    EXPECT_EQ(s.Find(TEXT("printer"), 7), 20);
    EXPECT_EQ(s.Find(TEXT("Printer"), 7), -1);
    EXPECT_EQ(s.Find(TEXT("USB")), -1);
    EXPECT_EQ(s.Left(5), TEXT("QB410"));
    EXPECT_EQ(s.Mid(6, 7), TEXT("Printer"));
    EXPECT_EQ(s.Right(5), TEXT("0xff)"));
    EXPECT_EQ(s.Mid(100), TEXT(""));
    CString big;
    big.Format(TEXT("%s%s%s%s"), static_cast<LPCWSTR>(s), static_cast<LPCWSTR>(s), static_cast<LPCWSTR>(s),
               static_cast<LPCWSTR>(s));
    big.Format(TEXT("%s%s"), static_cast<LPCWSTR>(big), static_cast<LPCWSTR>(big));
    EXPECT_EQ(big.GetLength(), 8 * s.GetLength());  // longer than the first buffer
}

TEST(CStringTest, BuffersCaseAndComparison) {
    CString s;
    LPWSTR p = s.GetBuffer(10);
    p[0] = 'C';
    p[1] = 'O';
    p[2] = 'M';
    p[3] = 0;
    s.ReleaseBuffer();
    EXPECT_EQ(s.GetLength(), 3);
    EXPECT_EQ(s.CompareNoCase(TEXT("com")), 0);
    EXPECT_NE(s.Compare(TEXT("com")), 0);
    s.MakeLower();
    EXPECT_EQ(s, TEXT("com"));
    CString t = s + TEXT("1:");
    EXPECT_EQ(t, TEXT("com1:"));
    CString ansi("KLIP_10.0.0.7");
    EXPECT_EQ(ansi, TEXT("KLIP_10.0.0.7"));
}

TEST(CFileTest, MissingFileGivesFileNotFoundWithItsName) {
    CFile f;
    CFileException e;
    EXPECT_FALSE(f.Open(TEXT("Z:\\nonexistent-dir-drovan\\ReadMe_en.txt"), CFile::modeRead | CFile::shareExclusive, &e));
    EXPECT_EQ(e.m_cause, CFileException::badPath);
    try {
        CFile g(TEXT("surely-not-here.txt"), CFile::modeRead | CFile::shareExclusive);
        FAIL() << "no exception";
    } catch (CFileException* ex) {
        EXPECT_EQ(ex->m_cause, CFileException::fileNotFound);
        WCHAR message[128];
        ex->GetErrorMessage(message, 128);
        EXPECT_EQ(CString(message), TEXT("surely-not-here.txt was not found."));
        WCHAR tiny[8];
        ex->GetErrorMessage(tiny, 8);  // bounded, terminated
        EXPECT_EQ(CString(tiny), TEXT("surely-"));
        ex->Delete();
    }
}

}  // namespace
