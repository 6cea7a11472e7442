// drovan-machine reg export / reg import: regedit's two formats, every value type, the
// round trip, deletions, and bad files that change nothing.
#include <cstring>
#include <fstream>
#include <iterator>

#include "fresh_machine.h"
#include "platform/sim/regtree.h"
#include "platform/sim/text.h"
#include "platform/win32.h"

namespace fs = std::filesystem;

namespace {

std::string Bytes(std::u16string_view text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}
std::string Sz(std::u16string_view text) { return Bytes(std::u16string(text) + u'\0'); }

struct TestValue {
    std::u16string name;
    DWORD type;
    std::string data;
};

std::string Counting(size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s += static_cast<char>(i);
    return s;
}

// Every type and the sizes that a quoted string or dword: cannot carry. A REGEDIT4 file
// lists strings in the code page, so it cannot carry half a character.
std::vector<TestValue> AllKinds(bool withHan, bool ansi) {
    uint64_t q = 0x0123456789abcdefull;
    uint32_t d = 0xdeadbeef;
    std::vector<TestValue> v = {
        {u"", REG_SZ, Sz(u"default text")},
        {u"Plain", REG_SZ, Sz(u"9600,n,8,1")},
        {u"Quotes \"and\" \\back\\", REG_SZ, Sz(u"C:\\Path \"quoted\" ; not a comment")},
        {u"Empty", REG_SZ, Sz(u"")},
        {u"No bytes", REG_SZ, ""},
        {u"Lines", REG_SZ, Sz(u"one\r\ntwo")},
        {u"Unterminated", REG_SZ, Bytes(u"AB")},
        {u"Inner NUL", REG_SZ, Bytes(std::u16string(u"a\0b\0", 4))},
        {u"Accents é €", REG_SZ, Sz(u"café 5 €")},
        {u"Expand", REG_EXPAND_SZ, Sz(u"%SystemRoot%\\system32")},
        {u"Multi", REG_MULTI_SZ, Bytes(std::u16string(u"a\0bc\0\0", 6))},
        {u"Binary", REG_BINARY, Counting(100)},
        {u"No binary", REG_BINARY, ""},
        {u"Dword", REG_DWORD, std::string(reinterpret_cast<const char*>(&d), 4)},
        {u"Short dword", REG_DWORD, "\x01\x02\x03"},
        {u"Qword", REG_QWORD, std::string(reinterpret_cast<const char*>(&q), 8)},
        {u"None", REG_NONE, "\x00\xff"},
        {u"Big type", 0x12345, "xyz"},
        {u"Name\nwith a break", REG_SZ, Sz(u"x")},
    };
    if (!ansi) v.push_back({u"Odd size", REG_EXPAND_SZ, "abc"});
    if (withHan) {
        v.push_back({u"打印机", REG_SZ, Sz(u"收据打印机 QB410")});
        v.push_back({u"Han multi", REG_MULTI_SZ, Bytes(std::u16string(u"端口\0COM1:\0\0", 10))});
    }
    return v;
}

class RegFileTest : public FreshMachine {
protected:
    CommandResult Tool(const std::string& args) {
        return RunCommand(std::string(DROVAN_MACHINE_TOOL) + " --machine '" + m_folder.string() + "' " + args);
    }
    std::string File(const std::string& name) { return (m_folder.parent_path() / name).string(); }
    std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void Write(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string Unicode(std::u16string_view text) { return "\xFF\xFE" + Bytes(text); }

    // HKCU\Software\RoundTrip: the values below, an empty key, nested keys, names whose
    // order differs by case.
    void MakeTree(const std::vector<TestValue>& values) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, TEXT("Software\\RoundTrip"), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        for (const auto& v : values)
            ASSERT_EQ(RegSetValueExW(key, v.name.c_str(), 0, v.type, reinterpret_cast<const BYTE*>(v.data.data()),
                                     static_cast<DWORD>(v.data.size())),
                      ERROR_SUCCESS)
                << sim::ToUtf8(v.name);
        for (const WCHAR* sub : {TEXT("zeta\\Deeper\\Deepest"), TEXT("Alpha"), TEXT("Empty [key]")}) {
            HKEY child;
            ASSERT_EQ(RegCreateKeyExW(key, sub, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr), ERROR_SUCCESS);
            if (sub[0] != u'E') RegSetValueExW(child, TEXT("In"), 0, REG_SZ, reinterpret_cast<const BYTE*>(u"x"), 4);
            RegCloseKey(child);
        }
        RegCloseKey(key);
    }

    // Every key below path with its values (type and bytes), in enumeration order.
    static std::string Snapshot(const std::u16string& path) {
        auto& db = sim::CurrentMachine().Db();
        return db.Read([&] {
            auto rooted = sim::reg::ParseRootedPath(path);
            int64_t key = sim::reg::FindPath(db, rooted->first, *sim::reg::SplitPath(rooted->second));
            std::string out;
            std::function<void(int64_t, const std::string&)> walk = [&](int64_t k, const std::string& name) {
                out += "[" + name + "]\n";
                for (const auto& v : sim::reg::Values(db, k)) {
                    out += "  " + sim::ToUtf8(v.name) + " type " + std::to_string(v.type) + " bytes ";
                    for (unsigned char c : v.data) out += std::to_string(c) + ",";
                    out += "\n";
                }
                for (const auto& sub : sim::reg::SubKeys(db, k))
                    walk(sim::reg::FindChild(db, k, sub), name + "\\" + sim::ToUtf8(sub));
            };
            if (key) walk(key, sim::ToUtf8(path));
            return out;
        });
    }

    // Export, delete, import: the tree comes back as it was, and a second export is the
    // same file.
    void RoundTrip(const std::string& option) {
        std::string before = Snapshot(u"HKEY_CURRENT_USER\\Software\\RoundTrip");
        std::string file = File("round.reg");
        auto r = Tool("reg export 'HKCU\\Software\\RoundTrip' '" + file + "' " + option);
        ASSERT_EQ(r.status, 0) << r.out;
        ASSERT_EQ(Tool("reg delete 'HKCU\\Software\\RoundTrip'").status, 0);
        ASSERT_EQ(Snapshot(u"HKEY_CURRENT_USER\\Software\\RoundTrip"), "");
        r = Tool("reg import '" + file + "'");
        ASSERT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(Snapshot(u"HKEY_CURRENT_USER\\Software\\RoundTrip"), before);
        std::string again = File("again.reg");
        ASSERT_EQ(Tool("reg export 'HKCU\\Software\\RoundTrip' '" + again + "' " + option).status, 0);
        EXPECT_EQ(Read(again), Read(file));
    }
};

}  // namespace

TEST_F(RegFileTest, UnicodeFormatBringsBackEveryTypeExactly) {
    MakeTree(AllKinds(true, false));
    RoundTrip("");
    std::string file = Read(File("round.reg"));
    std::string start = Bytes(u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\RoundTrip]");
    ASSERT_EQ(file.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(file.substr(2, start.size()), start);
}

TEST_F(RegFileTest, AnsiFormatBringsBackEveryTypeTheCodePageCarries) {
    MakeTree(AllKinds(false, true));
    RoundTrip("--regedit4");
    std::string file = Read(File("round.reg"));
    EXPECT_EQ(file.substr(0, 10), "REGEDIT4\r\n");
    // Code page 1252: the euro sign is one byte, in the quoted string and in hex(2) alike.
    EXPECT_NE(file.find("\"Accents \xE9 \x80\"=\"caf\xE9 5 \x80\"\r\n"), std::string::npos);
}

TEST_F(RegFileTest, AnsiFormatOnAChineseMachineUsesGbk) {
    Reinit({sim::Arch::X64, 2052});
    MakeTree(AllKinds(true, true));
    RoundTrip("--regedit4");
    std::string file = Read(File("round.reg"));
    // 端口 in GBK (b6 cb bf da) inside the REG_MULTI_SZ's hex(7) list.
    EXPECT_NE(file.find("\"Han multi\"=hex(7):b6,cb,bf,da,00,43,4f,4d,31,3a,00,00\r\n"), std::string::npos) << file;
}

TEST_F(RegFileTest, AnsiFormatRefusesWhatTheCodePageCannotCarry) {
    struct Case {
        TestValue value;
        std::string why;
    } cases[] = {
        {{u"Han", REG_SZ, Sz(u"打印机")}, "the value \"Han\" of HKEY_CURRENT_USER\\Software\\RoundTrip holds "
                                         "characters that code page 1252 cannot carry"},
        {{u"名", REG_DWORD, "\x01\0\0\0"}, "the value \"名\" of HKEY_CURRENT_USER\\Software\\RoundTrip holds"},
        {{u"Odd", REG_MULTI_SZ, "abc"}, "is not whole UTF-16 characters"},
    };
    std::string file = File("refused.reg");
    for (const auto& c : cases) {
        ASSERT_EQ(Tool("reg delete 'HKCU\\Software'").status, 0);
        MakeTree({c.value});
        auto r = Tool("reg export 'HKCU\\Software\\RoundTrip' '" + file + "' --regedit4");
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.out.find(c.why), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("nothing was written"), std::string::npos) << r.out;
        EXPECT_FALSE(fs::exists(file));
        EXPECT_EQ(Tool("reg export 'HKCU\\Software\\RoundTrip' '" + file + "'").status, 0) << "the Unicode format can";
        fs::remove(file);
    }
}

TEST_F(RegFileTest, ExportLaysTheFileOutAsRegeditDoes) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, TEXT("Software\\Layout"), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    std::u16string text = u"a \"b\" c\\d";
    RegSetValueExW(key, TEXT("Text"), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * 2));
    DWORD count = 42;
    RegSetValueExW(key, TEXT("Count"), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count), 4);
    std::string blob = Counting(30);
    RegSetValueExW(key, TEXT("Blob"), 0, REG_BINARY, reinterpret_cast<const BYTE*>(blob.data()), 30);
    RegSetValueExW(key, nullptr, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(u"A"), 4);
    RegCloseKey(key);
    ASSERT_EQ(Tool("reg export 'HKEY_CURRENT_USER\\Software\\Layout' '" + File("layout.reg") + "'").status, 0);
    // A hex list wraps after the byte that reaches column 77; later lines hold 25 bytes.
    EXPECT_EQ(Read(File("layout.reg")),
              Unicode(u"Windows Registry Editor Version 5.00\r\n"
                      u"\r\n"
                      u"[HKEY_CURRENT_USER\\Software\\Layout]\r\n"
                      u"\"Text\"=\"a \\\"b\\\" c\\\\d\"\r\n"
                      u"\"Count\"=dword:0000002a\r\n"
                      u"\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
                      u"  16,17,18,19,1a,1b,1c,1d\r\n"
                      u"@=hex(2):41,00,00,00\r\n"
                      u"\r\n"));
}

TEST_F(RegFileTest, DeletionsAndEmptyKeysInOneImport) {
    ASSERT_EQ(Tool("reg set 'HKCU\\Software\\Del\\A\\A1' v REG_SZ x").status, 0);
    ASSERT_EQ(Tool("reg set 'HKCU\\Software\\Del\\B' gone REG_SZ x").status, 0);
    ASSERT_EQ(Tool("reg set 'HKCU\\Software\\Del\\B' '' REG_SZ default").status, 0);
    ASSERT_EQ(Tool("reg set 'HKCU\\Software\\Del\\B' other REG_DWORD 7").status, 0);
    // An ANSI file as people write it by hand: LF line ends, blanks, comments.
    Write(File("del.reg"),
          "REGEDIT4\n"
          "; remove a subtree, two values, a key that is not there; make an empty key\n"
          "[-HKEY_CURRENT_USER\\Software\\Del\\A]\n"
          "\n"
          "  [HKEY_CURRENT_USER\\Software\\Del\\B]  ; B stays\n"
          "\"gone\" = -\n"
          "@=-\n"
          "\"kept\"=hex:01,\\\n"
          "    ; a comment inside the list\n"
          "    02 ,03\n"
          "[HKEY_CURRENT_USER\\Software\\Del\\New Empty]\n"
          "[-HKEY_CURRENT_USER\\Software\\Del\\Never There]\n");
    auto r = Tool("reg import '" + File("del.reg") + "'");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(Snapshot(u"HKEY_CURRENT_USER\\Software\\Del"),
              "[HKEY_CURRENT_USER\\Software\\Del]\n"
              "[HKEY_CURRENT_USER\\Software\\Del\\B]\n"
              "  other type 4 bytes 7,0,0,0,\n"
              "  kept type 3 bytes 1,2,3,\n"
              "[HKEY_CURRENT_USER\\Software\\Del\\New Empty]\n");
}

TEST_F(RegFileTest, BadFilesNameTheirLineAndChangeNothing) {
    const std::string start = "[HKEY_CURRENT_USER\\Software\\Bad]\r\n\"first\"=\"set\"\r\n";  // lines 2 and 3
    struct Case {
        std::string file;
        int line;
        std::string why;
    } cases[] = {
        {"REGEDIT5\r\n" + start, 1, "not a registry file"},
        {"REGEDIT4\r\n" + start + "[HKEY_CURRENT_CONFIG\\X]\r\n", 4, "root key of this machine"},
        {"REGEDIT4\r\n" + start + "[HKLM\\Software]\r\n", 4, "root key of this machine"},
        {"REGEDIT4\r\n" + start + "[HKEY_CURRENT_USER\\Software\\Bad\r\n", 4, "no closing ]"},
        {"REGEDIT4\r\n" + start + "[-HKEY_LOCAL_MACHINE]\r\n", 4, "a root key cannot be deleted"},
        {"REGEDIT4\r\n" + start + "[HKEY_CURRENT_USER\\a\\\\b]\r\n", 4, "empty or over-long part"},
        {"REGEDIT4\r\n\"early\"=\"x\"\r\n" + start, 2, "before any key"},
        {"REGEDIT4\r\n" + start + "\"v\"=hex:01,zz\r\n", 4, "'z' is not a hex byte"},
        {"REGEDIT4\r\n" + start + "\"v\"=hex:01,100\r\n", 4, "'100' is not a hex byte"},
        {"REGEDIT4\r\n" + start + "\"v\"=hex:01,\\\r\n  02,03 04\r\n", 5, "expected a comma"},
        {"REGEDIT4\r\n" + start + "\"v\"=dword:123456789\r\n", 4, "1 to 8 hex digits"},
        {"REGEDIT4\r\n" + start + "\"v\"=dword:\r\n", 4, "1 to 8 hex digits"},
        {"REGEDIT4\r\n" + start + "\"v\"=\"open\r\n", 4, "no closing quote"},
        {"REGEDIT4\r\n" + start + "\"v\"=\"a\\qb\"\r\n", 4, "unknown escape \\q"},
        {"REGEDIT4\r\n" + start + "\"v\"=\"a\" trailing\r\n", 4, "unexpected text after the string"},
        {"REGEDIT4\r\n" + start + "\"v\"=hex(zz):00\r\n", 4, "hex(N)"},
        {"REGEDIT4\r\n" + start + "\"v\"=str:abc\r\n", 4, "unknown data"},
        {"REGEDIT4\r\n" + start + "\"v\" \"x\"\r\n", 4, "expected = after"},
        {"REGEDIT4\r\n" + start + "garbage\r\n", 4, "expected a key"},
        {"\xEF\xBB\xBFREGEDIT4\r\n" + start, 0, "UTF-8"},
        {Unicode(u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Bad]\r\n@=dword:1 2\r\n"), 4,
         "1 to 8 hex digits"},
        {"", 1, "the file is empty"},
    };
    for (const auto& c : cases) {
        Write(File("bad.reg"), c.file);
        auto r = Tool("reg import '" + File("bad.reg") + "'");
        EXPECT_EQ(r.status, 1) << c.why;
        std::string where = c.line ? "bad.reg: line " + std::to_string(c.line) + ": " : "bad.reg: ";
        EXPECT_NE(r.out.find(where), std::string::npos) << c.why << "\n" << r.out;
        EXPECT_NE(r.out.find(c.why), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("nothing was imported"), std::string::npos) << r.out;
        EXPECT_EQ(Snapshot(u"HKEY_CURRENT_USER\\Software\\Bad"), "") << c.why << ": the valid lines were not applied";
    }
    EXPECT_EQ(Tool("reg import '" + File("missing.reg") + "'").status, 1);
    EXPECT_EQ(Tool("reg export 'HKCU\\Software\\Missing' '" + File("x.reg") + "'").status, 1);
    EXPECT_EQ(Tool("reg export 'HKCU\\Software'").status, 2);
}
