#include <gtest/gtest.h>

#include <random>

#include "driver_package.h"
#include "inf_file.h"
#include "platform/sim/text.h"

using printui::InfFile;
using printui::InfSyntaxError;

namespace {

InfFile ParseOk(std::u16string_view text) {
    InfSyntaxError error;
    auto inf = InfFile::Parse(text, &error);
    EXPECT_TRUE(inf.has_value()) << "line " << error.line << ": " << error.message;
    return inf ? *inf : InfFile();
}

InfSyntaxError ParseError(std::u16string_view text) {
    InfSyntaxError error;
    EXPECT_FALSE(InfFile::Parse(text, &error).has_value());
    return error;
}

}  // namespace

TEST(InfText, EncodingsAreToldByTheirMark) {
    std::u16string text;
    std::string why;
    std::string utf16 = std::string("\xFF\xFE", 2) + std::string("[\0A\0]\0", 6);
    ASSERT_TRUE(printui::DecodeInfText(utf16, 1252, &text, &why));
    EXPECT_EQ(text, u"[A]");

    // Without a mark the bytes are ANSI: 0xE9 is e-acute in 1252, and the GBK pair
    // C4 E3 is one character in 936.
    ASSERT_TRUE(printui::DecodeInfText("caf\xE9", 1252, &text, &why));
    EXPECT_EQ(text, u"caf\u00E9");
    ASSERT_TRUE(printui::DecodeInfText("\xC4\xE3", 936, &text, &why));
    EXPECT_EQ(text, u"\u4F60");

    ASSERT_TRUE(printui::DecodeInfText("\xEF\xBB\xBFx\xC3\xA9", 1252, &text, &why));
    EXPECT_EQ(text, u"x\u00E9");

    EXPECT_FALSE(printui::DecodeInfText(std::string("\xFE\xFF\0A", 4), 1252, &text, &why));
    EXPECT_FALSE(printui::DecodeInfText(std::string("\xFF\xFE\x41", 3), 1252, &text, &why))
        << "an odd byte count is no UTF-16 text";
}

TEST(InfFileParse, SectionsKeysAndFieldsFollowSetupsRules) {
    InfFile inf = ParseOk(
        u"; leading comment\r\n"
        u"[Version]\r\n"
        u"Signature = \"$Windows NT$\"  ; trailing comment\r\n"
        u"\r\n"
        u"[models]\n"
        u"\"A; not a comment\" = Sec, ID1 ,ID2\n"
        u"BareValue, Second\n"
        u"[MODELS]\n"
        u"Later = Merged\n");
    const auto* version = inf.FindKey(u"VERSION", u"signature");
    ASSERT_NE(version, nullptr) << "section names and keys are case-insensitive";
    EXPECT_EQ(version->fields, std::vector<std::u16string>{u"$Windows NT$"});
    EXPECT_EQ(version->number, 3);

    const auto* models = inf.Find(u"Models");
    ASSERT_NE(models, nullptr);
    ASSERT_EQ(models->lines.size(), 3u) << "sections of one name are merged";
    EXPECT_EQ(*models->lines[0].key, u"A; not a comment");
    EXPECT_EQ(models->lines[0].fields, (std::vector<std::u16string>{u"Sec", u"ID1", u"ID2"}));
    EXPECT_FALSE(models->lines[1].key.has_value());
    EXPECT_EQ(models->lines[1].fields, (std::vector<std::u16string>{u"BareValue", u"Second"}));
    EXPECT_EQ(models->lines[2].Field(0), u"Merged");
}

TEST(InfFileParse, ContinuationLinesJoin) {
    InfFile inf = ParseOk(
        u"[Files]\n"
        u"a.dll, \\\n"
        u"    b.dll ; comment after the continued part\n"
        u"c.dll \\   \n"
        u"\n"
        u"[Last]\n"
        u"x = 1 \\");
    const auto* files = inf.Find(u"Files");
    ASSERT_NE(files, nullptr);
    ASSERT_EQ(files->lines.size(), 2u);
    EXPECT_EQ(files->lines[0].fields, (std::vector<std::u16string>{u"a.dll", u"b.dll"}));
    EXPECT_EQ(files->lines[0].number, 2);
    EXPECT_EQ(files->lines[1].fields, std::vector<std::u16string>{u"c.dll"})
        << "a backslash followed by blanks still continues, here onto an empty line";
    EXPECT_EQ(inf.FindKey(u"Last", u"x")->Field(0), u"1") << "a continuation at the end of the file";
}

TEST(InfFileParse, StringsAreSubstitutedWithPercentAndQuoteEscapes) {
    InfFile inf = ParseOk(
        u"[Version]\n"
        u"Provider = %Mfg%\n"
        u"Text = \"100%% of %mfg%\"\n"
        u"Unknown = %NoSuchString%, %1%\n"
        u"Quote = \"say \"\"hi\"\"\"\n"
        u"Joined = pre%Mfg%post\n"
        u"[%Mfg%.Models]\n"
        u"%Model% = Install\n"
        u"[Strings]\n"
        u"Mfg = \"Drovan, Ltd\"\n"
        u"MODEL = \"QB410 \"\"Pro\"\"\"\n"
        u"Raw = \"%Mfg%\"\n");
    EXPECT_EQ(inf.FindKey(u"Version", u"Provider")->fields, std::vector<std::u16string>{u"Drovan, Ltd"})
        << "a comma from [Strings] does not split the field";
    EXPECT_EQ(inf.FindKey(u"Version", u"Text")->Field(0), u"100% of Drovan, Ltd");
    EXPECT_EQ(inf.FindKey(u"Version", u"Unknown")->fields,
              (std::vector<std::u16string>{u"%NoSuchString%", u"%1%"}));
    EXPECT_EQ(inf.FindKey(u"Version", u"Quote")->Field(0), u"say \"hi\"");
    EXPECT_EQ(inf.FindKey(u"Version", u"Joined")->Field(0), u"preDrovan, Ltdpost");
    const auto* models = inf.Find(u"%Mfg%.Models");
    ASSERT_NE(models, nullptr) << "section names are not substituted";
    EXPECT_EQ(*models->lines[0].key, u"QB410 \"Pro\"");
    EXPECT_EQ(inf.FindKey(u"Strings", u"Raw")->Field(0), u"%Mfg%")
        << "[Strings] values are not substituted themselves";
}

TEST(InfFileParse, MalformedTextIsASyntaxErrorWithItsLine) {
    EXPECT_EQ(ParseError(u"[Version\nx=1\n").line, 1);
    EXPECT_EQ(ParseError(u"key = value\n[Version]\n").line, 1) << "a line before any section";
    EXPECT_EQ(ParseError(u"[A]\nx = \"open\n").line, 2);
    EXPECT_EQ(ParseError(u"[A] junk\n").line, 1);
    EXPECT_EQ(ParseError(std::u16string(u"[A]\nx=\0y\n", 9)).line, 2);
    // Empty input and comments only are an empty INF, not an error.
    EXPECT_TRUE(ParseOk(u"").Sections().empty());
    EXPECT_TRUE(ParseOk(u"; nothing\r\n\r\n").Sections().empty());
}

// Random bytes, and random damage to a real package, must never crash the reader or
// the package logic: every outcome is a parsed file or a syntax error.
TEST(InfFileParse, RandomBytesNeverCrashTheReader) {
    std::mt19937 rng(20240601);
    std::string good =
        "[Version]\nSignature=\"$Windows NT$\"\nClass=Printer\n[Manufacturer]\n%M%=S,NTamd64\n"
        "[S.NTamd64]\n\"P\"=I,{G}\n[I]\nCopyFiles=F,@x.dll\nDriverFile=x.dll\nInclude=ntprint.inf\nNeeds=F2\n"
        "DataSection=F2\nCoreDriverSections=\"{G},F2\"\n[F2]\nCopyFiles=F\n[F]\nx.dll\n"
        "[Strings]\nM=\"m\"\n";
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 3000; ++round) {
        std::string bytes;
        if (round % 2 == 0) {
            bytes.resize(static_cast<size_t>(rng() % 200));
            for (auto& b : bytes) b = static_cast<char>(byte(rng));
            if (round % 4 == 0) bytes.insert(0, "\xFF\xFE");
        } else {
            bytes = good;
            for (int k = 0; k < 1 + round % 8; ++k)
                bytes[rng() % bytes.size()] = "[]\";%\\,=\n\0"[rng() % 11];
        }
        std::u16string text;
        std::string why;
        if (!printui::DecodeInfText(bytes, round % 3 ? 1252 : 936, &text, &why)) continue;
        InfSyntaxError error;
        auto inf = InfFile::Parse(text, &error);
        if (!inf) {
            EXPECT_GT(error.line, 0);
            continue;
        }
        printui::Failure failure;
        printui::InfLibrary system;
        system.Add({u"ntprint.inf", *inf, u""});  // the garbled text plays the system's INF too
        for (auto arch : {printui::Arch::X86, printui::Arch::X64}) {
            printui::CheckPrinterInf(*inf, &failure);
            for (const auto& m : printui::ModelsFor(*inf, arch))
                printui::SelectModel({u"x.inf", *inf, u""}, m, arch, system, &failure);
        }
    }
}
