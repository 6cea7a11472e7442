// Windows' control behaviour in the framework's model: radio groups, check boxes, sorted
// combo boxes, CB_FINDSTRING, the progress bar's wrap, the address control.
#include <gtest/gtest.h>

#include "platform/ui/backend.h"
#include "platform/ui/headless/headless_backend.h"
#include "platform/ui/text.h"
#include "res/test/test_dialogs.h"

using namespace drovan::ui;

namespace {

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetBackend(&backend);
        SetGuiThreadToCurrent();
        dlg = BuildDialog(*drovan::res::FindDialogTemplate(IDD_TEST_MAIN), nullptr);
    }
    void TearDown() override {
        Unregister(dlg.get());
        SetBackend(nullptr);
    }
    Window& C(int id) { return *dlg->Child(id); }
    LRESULT S(int id, UINT m, WPARAM w = 0, LPARAM l = 0) { return Send(C(id), m, w, l); }
    LRESULT Add(int id, const char16_t* s) { return S(id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s)); }
    LRESULT Find(int id, int start, const char16_t* s, UINT msg = CB_FINDSTRING) {
        return S(id, msg, static_cast<WPARAM>(start), reinterpret_cast<LPARAM>(s));
    }
    std::vector<std::u16string> Items(int id) { return {C(id).items.begin(), C(id).items.end()}; }

    std::vector<std::string> lines;
    headless::Transcript transcript{[this](const std::string& l) { lines.push_back(l); }};
    headless::HeadlessBackend backend{transcript};
    std::unique_ptr<Window> dlg;
};

TEST_F(ControlsTest, AutoRadioButtonsUncheckOnlyTheirOwnGroup) {
    UserClicked(C(IDC_RADIO_A));
    EXPECT_EQ(S(IDC_RADIO_A, BM_GETCHECK), BST_CHECKED);
    UserClicked(C(IDC_RADIO_D));  // another group (WS_GROUP)
    UserClicked(C(IDC_RADIO_B));
    EXPECT_EQ(S(IDC_RADIO_A, BM_GETCHECK), BST_UNCHECKED);
    EXPECT_EQ(S(IDC_RADIO_B, BM_GETCHECK), BST_CHECKED);
    EXPECT_EQ(S(IDC_RADIO_D, BM_GETCHECK), BST_CHECKED);
    UserClicked(C(IDC_RADIO_B));  // clicking the checked one keeps it checked
    EXPECT_EQ(S(IDC_RADIO_B, BM_GETCHECK), BST_CHECKED);
    UserClicked(C(IDC_RADIO_E));
    EXPECT_EQ(S(IDC_RADIO_D, BM_GETCHECK), BST_UNCHECKED);
    EXPECT_EQ(S(IDC_RADIO_B, BM_GETCHECK), BST_CHECKED);
}

TEST_F(ControlsTest, RadioGroupSkipsHiddenMembersAndSetCheckTouchesOneButton) {
    S(IDC_RADIO_C, BM_SETCHECK, BST_CHECKED);  // hidden member of A's group
    S(IDC_RADIO_A, BM_SETCHECK, BST_CHECKED);  // programmatic: no group logic
    EXPECT_EQ(S(IDC_RADIO_C, BM_GETCHECK), BST_CHECKED);
    UserClicked(C(IDC_RADIO_B));
    EXPECT_EQ(S(IDC_RADIO_A, BM_GETCHECK), BST_UNCHECKED);
    EXPECT_EQ(S(IDC_RADIO_C, BM_GETCHECK), BST_CHECKED);  // the dialog manager walks visible controls
}

TEST_F(ControlsTest, CheckBoxTogglesAndDisabledOrGroupBoxIgnoresClicks) {
    UserClicked(C(IDC_CHECK));
    EXPECT_EQ(S(IDC_CHECK, BM_GETCHECK), BST_CHECKED);
    UserClicked(C(IDC_CHECK));
    EXPECT_EQ(S(IDC_CHECK, BM_GETCHECK), BST_UNCHECKED);
    EnableWindowModel(C(IDC_CHECK), FALSE);
    UserClicked(C(IDC_CHECK));
    S(IDC_CHECK, BM_CLICK);
    EXPECT_EQ(S(IDC_CHECK, BM_GETCHECK), BST_UNCHECKED);
    EXPECT_EQ(S(IDOK, BM_GETCHECK), BST_UNCHECKED);  // push buttons have no check state
}

TEST_F(ControlsTest, SortedComboInsertsInWindowsCaseInsensitiveOrder) {
    for (auto s : {u"LPT1:", u"USB001", u"COM10:", u"com2:", u"FILE:", u"COM1:", u"KLIP_10.0.0.7", u"KLCOM5:"})
        Add(IDC_SORTED, s);
    EXPECT_EQ(Items(IDC_SORTED), (std::vector<std::u16string>{u"COM1:", u"COM10:", u"com2:", u"FILE:", u"KLCOM5:",
                                                              u"KLIP_10.0.0.7", u"LPT1:", u"USB001"}));
    // The return value is the index; the selection stays on its item.
    S(IDC_SORTED, CB_SETCURSEL, 6);  // LPT1:
    EXPECT_EQ(Add(IDC_SORTED, u"COM3:"), 3);
    EXPECT_EQ(S(IDC_SORTED, CB_GETCURSEL), 7);
    EXPECT_EQ(WindowText(C(IDC_SORTED)), u"LPT1:");
}

TEST_F(ControlsTest, CollationPutsPunctuationBeforeDigitsBeforeLetters) {
    EXPECT_LT(text::CollateNoCase(u"COM1:", u"COM10:"), 0);
    EXPECT_LT(text::CollateNoCase(u"a_b", u"a1"), 0);
    EXPECT_LT(text::CollateNoCase(u"9", u"a"), 0);
    EXPECT_EQ(text::CollateNoCase(u"abc", u"abc"), 0);
    EXPECT_LT(text::CollateNoCase(u"coop", u"co-op"), 0);  // hyphen only breaks the tie
    EXPECT_LT(text::CollateNoCase(u"co-op", u"copper"), 0);
    EXPECT_LT(text::CollateNoCase(u"abc", u"ABD"), 0);
}

TEST_F(ControlsTest, UnsortedComboKeepsOrderAndChecksIndexes) {
    for (auto s : {u"b", u"a", u"c"}) Add(IDC_BAUD, s);
    EXPECT_EQ(Items(IDC_BAUD), (std::vector<std::u16string>{u"b", u"a", u"c"}));
    EXPECT_EQ(S(IDC_BAUD, CB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(u"z")), 3);
    EXPECT_EQ(S(IDC_BAUD, CB_INSERTSTRING, 9, reinterpret_cast<LPARAM>(u"y")), CB_ERR);
    EXPECT_EQ(S(IDC_BAUD, CB_SETCURSEL, 4), CB_ERR);
    EXPECT_EQ(S(IDC_BAUD, CB_GETCURSEL), CB_ERR);
    WCHAR buf[16];
    EXPECT_EQ(S(IDC_BAUD, CB_GETLBTEXT, 4, reinterpret_cast<LPARAM>(buf)), CB_ERR);
    EXPECT_EQ(S(IDC_BAUD, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(buf)), 1);
    EXPECT_EQ(std::u16string(buf), u"a");
    S(IDC_BAUD, CB_SETCURSEL, 1);
    EXPECT_EQ(S(IDC_BAUD, CB_DELETESTRING, 1), 3);
    EXPECT_EQ(S(IDC_BAUD, CB_GETCURSEL), CB_ERR);  // the selected item went
}

TEST_F(ControlsTest, FindStringIsACaseInsensitivePrefixSearchThatWraps) {
    for (auto s : {u"COM1:", u"COM10:", u"com2:", u"LPT1:"}) Add(IDC_BAUD, s);  // unsorted: this order
    EXPECT_EQ(Find(IDC_BAUD, -1, u"com"), 0);
    EXPECT_EQ(Find(IDC_BAUD, 0, u"com"), 1);
    EXPECT_EQ(Find(IDC_BAUD, 1, u"COM"), 2);
    EXPECT_EQ(Find(IDC_BAUD, 2, u"com"), 0);  // past the end it goes on from the top
    EXPECT_EQ(Find(IDC_BAUD, 3, u"LPT1"), 3); // ... back to the start item itself
    EXPECT_EQ(Find(IDC_BAUD, -1, u"lpt"), 3);
    EXPECT_EQ(Find(IDC_BAUD, -1, u"COM1:"), 0);
    EXPECT_EQ(Find(IDC_BAUD, -1, u"xyz"), CB_ERR);
    EXPECT_EQ(Find(IDC_BAUD, 17, u"com"), 0);  // a start past the end searches from the top
    EXPECT_EQ(Find(IDC_BAUD, -1, u"com1:", CB_FINDSTRINGEXACT), 0);
    EXPECT_EQ(Find(IDC_BAUD, -1, u"COM", CB_FINDSTRINGEXACT), CB_ERR);
    EXPECT_EQ(Find(IDC_SORTED, -1, u"a"), CB_ERR);  // empty list
}

TEST_F(ControlsTest, ProgressStepItStartsOverPastTheUpperEnd) {
    EXPECT_EQ(S(IDC_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, 120)), MAKELONG(0, 100));
    EXPECT_EQ(S(IDC_PROGRESS, PBM_SETSTEP, 2), 10);
    for (int i = 0; i < 60; ++i) S(IDC_PROGRESS, PBM_STEPIT);
    EXPECT_EQ(S(IDC_PROGRESS, PBM_GETPOS), 120);
    EXPECT_EQ(S(IDC_PROGRESS, PBM_STEPIT), 120);  // returns the previous position
    EXPECT_EQ(S(IDC_PROGRESS, PBM_GETPOS), 0);
    S(IDC_PROGRESS, PBM_SETPOS, 500);  // positions are kept inside the range
    EXPECT_EQ(S(IDC_PROGRESS, PBM_GETPOS), 120);
    S(IDC_PROGRESS, PBM_DELTAPOS, static_cast<WPARAM>(-20));
    EXPECT_EQ(S(IDC_PROGRESS, PBM_GETPOS), 100);
    PBRANGE r{};
    EXPECT_EQ(S(IDC_PROGRESS, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&r)), 120);
    EXPECT_EQ(r.iLow, 0);
}

TEST_F(ControlsTest, AddressControlFieldsAndDottedText) {
    S(IDC_ADDRESS, IPM_SETADDRESS, 0, MAKEIPADDRESS(192, 168, 1, 1));
    EXPECT_EQ(WindowText(C(IDC_ADDRESS)), u"192.168.1.1");
    S(IDC_ADDRESS, IPM_CLEARADDRESS);
    EXPECT_TRUE(S(IDC_ADDRESS, IPM_ISBLANK));
    EXPECT_EQ(WindowText(C(IDC_ADDRESS)), u"...");
    S(IDC_ADDRESS, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"10..0.7"));
    DWORD a = 0;
    EXPECT_EQ(S(IDC_ADDRESS, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&a)), 3);
    EXPECT_EQ(a, static_cast<DWORD>(MAKEIPADDRESS(10, 0, 0, 7)));
    EXPECT_EQ(WindowText(C(IDC_ADDRESS)), u"10..0.7");
    std::array<int, 4> f{};
    EXPECT_FALSE(ParseAddress(u"1.2.3", f));
    EXPECT_FALSE(ParseAddress(u"1.2.3.x", f));
    EXPECT_TRUE(ParseAddress(u"300.1.1.1", f));
    EXPECT_EQ(f[0], 255);
}

TEST_F(ControlsTest, DefaultButtonIsTheFirstDefaultPushButtonUntilSet) {
    EXPECT_EQ(Send(*dlg, DM_GETDEFID, 0, 0), MAKELONG(IDOK, DC_HASDEFID));
    Send(*dlg, DM_SETDEFID, IDC_NESTED, 0);
    EXPECT_EQ(LOWORD(Send(*dlg, DM_GETDEFID, 0, 0)), IDC_NESTED);
}

TEST_F(ControlsTest, DumpShowsEveryControlKind) {
    S(IDC_CHECK, BM_SETCHECK, BST_CHECKED);
    Add(IDC_SORTED, u"COM1:");
    auto dump = headless::Transcript::Dump(*dlg);
    ASSERT_GE(dump.size(), 3u);
    EXPECT_EQ(dump[0], "dump 900");
    auto has = [&](const std::string& line) { return std::find(dump.begin(), dump.end(), line) != dump.end(); };
    EXPECT_TRUE(has("  1010 button visible=1 enabled=1 checked=1 text=\"Check\""));
    EXPECT_TRUE(has("  1020 combobox visible=1 enabled=1 sel=-1 items=[\"COM1:\"]"));
    EXPECT_TRUE(has("  1030 progress visible=1 enabled=1 range=0..100 pos=0 step=10"));
    EXPECT_TRUE(has("  1003 button visible=0 enabled=1 checked=0 text=\"C\""));
    EXPECT_TRUE(has("  1070 button visible=1 enabled=0 checked=0 text=\"Disabled\""));
}

}  // namespace
