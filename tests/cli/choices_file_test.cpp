// /saveinf and /loadinf: an administrator runs the wizard once, saving its choices, and
// deploys the file; the quiet run that loads it installs the same on another machine.
#include <fstream>

#include "cli_fixture.h"

namespace fs = std::filesystem;

namespace {

// What an installation leaves that another machine must have alike.
struct Installed {
    std::vector<std::string> printers;  // "name|driver|port"
    std::string defaultPrinter;
    std::optional<std::string> com2;
};

}  // namespace

class ChoicesFile : public CliTest {
protected:
    Installed Look() {
        Installed i;
        Json printers = Printers();
        for (const auto& p : printers.Items())
            i.printers.push_back(p["name"].AsString() + "|" + p["driver"].AsString() + "|" + p["port"].AsString());
        std::sort(i.printers.begin(), i.printers.end());
        i.defaultPrinter = DefaultPrinter();
        i.com2 = PortsValue("COM2:");
        return i;
    }
    // A till as the fleet has them: an old printer of the model and another default printer.
    void OldTill() {
        AddDriver("Generic Text");
        AddPrinter("Office", "Generic Text", "LPT3:");
        MachineOk({"default", "Office"});
        AddDriver("QD530 Printer");
        AddPrinter("QD530 Printer", "QD530 Printer", "LPT1:");
    }
};

TEST_F(ChoicesFile, SavedByTheWizardTheQuietRunInstallsTheSame) {
    OldTill();
    const fs::path file = File("till.ini");
    // The second model, the default box cleared, the old printer deleted in the installed-
    // driver dialog, COM2: with settings of its own.
    Transcript wizard = ReplayWithArguments(
        "click 1001\nclick 3\nclick 1031\nclick 1004\nclick 3\nclick 1038\nclick 1040\n"
        "select 1008 \"COM2:\"\nselect 1009 \"19200\"\nselect 1010 \"ODD\"\nselect 1011 \"7\"\nselect 1012 \"1.5\"\n"
        "select 1020 \"None\"\nclick 3\n" + std::string(kSuccessEnd),
        {"/saveinf:" + file.string()});
    ASSERT_EQ(wizard.exitCode, 0) << wizard.errors;
    const std::string saved = ReadText(file);
    ASSERT_EQ(saved.substr(0, 3), "\xEF\xBB\xBF");
    std::vector<std::string> lines = Lines(saved.substr(3));
    const std::vector<std::string> choices(lines.end() - 6, lines.end());
    EXPECT_EQ(choices, (std::vector<std::string>{"[Drovan Setup]", "Model=QD530 Printer", "Port=COM2:",
                                                 "Serial=19200,o,7,1.5,", "Default=0", "Replace=1"}));
    Installed byWizard = Look();
    EXPECT_EQ(byWizard.printers.size(), 2u);

    InitMachine(1033);
    OldTill();
    ProgramRun run = Drovan({"/quiet", "/loadinf:" + file.string()});
    ASSERT_EQ(run.status, 0) << run.Both();
    Installed byFile = Look();
    EXPECT_EQ(byFile.printers, byWizard.printers);
    EXPECT_EQ(byFile.defaultPrinter, byWizard.defaultPrinter);
    EXPECT_EQ(byFile.com2, byWizard.com2);
    EXPECT_EQ(byFile.com2, std::optional<std::string>("19200,o,7,1.5,"));
}

TEST_F(ChoicesFile, TheAttachedUsbPrinterIsSavedAsUsbAndFoundOnEachMachine) {
    MachineOk({"usb", "attach", "vid_0483&pid_5720", "A1", "--port", "2"});
    const fs::path file = File("usb.ini");
    Transcript wizard = ReplayWithArguments("click 1001\nclick 3\nclick 3\n" + std::string(kSuccessEnd),
                                            {"/saveinf:" + file.string(), "/log:" + File("wizard.log").string()});
    ASSERT_EQ(wizard.exitCode, 0) << wizard.errors;
    std::vector<std::string> lines = Lines(ReadText(file).substr(3));
    EXPECT_EQ(std::vector<std::string>(lines.end() - 5, lines.end()),
              (std::vector<std::string>{"[Drovan Setup]", "Model=QB410 Printer", "Port=USB", "Default=1", "Replace=0"}));
    // The wizard's log, switched on by its own /log.
    EXPECT_NE(ReadText(File("wizard.log")).find("kwl at PrinterInfo SetInfFilePath() m_szPortName=USB002"), std::string::npos);

    InitMachine(2052, "x86");
    MachineOk({"usb", "attach", "vid_0483&pid_5720", "B7", "--port", "5"});
    ProgramRun run = Drovan({"/quiet", "/loadinf:" + file.string()});
    ASSERT_EQ(run.status, 0) << run.Both();
    Json printers = Printers();
    ASSERT_EQ(printers.size(), 1u);
    EXPECT_EQ(printers[0]["port"].AsString(), "USB005");
    EXPECT_EQ(DefaultPrinter(), "QB410 Printer");
}

namespace {

struct FileCase {
    const char* name;
    std::string content;  // bytes of the file
    std::vector<std::string> args;  // besides /quiet /loadinf:FILE
    int code;
    const char* expect;  // the printer's port when installed, else a text of standard error
};

void PrintTo(const FileCase& c, std::ostream* os) { *os << c.name; }

class LoadedChoices : public CliTest, public ::testing::WithParamInterface<FileCase> {};

std::string Utf16(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii) out += std::string{c, '\0'};
    return out;
}

}  // namespace

TEST_P(LoadedChoices, AsSwitchesThatTheCommandLineOverrides) {
    const FileCase& c = GetParam();
    const fs::path file = File("choices.ini");
    std::ofstream(file, std::ios::binary) << c.content;
    std::vector<std::string> args = {"/quiet", "/loadinf:" + file.string()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    ProgramRun run = Drovan(args);
    EXPECT_EQ(run.status, c.code) << run.Both();
    if (c.code == 0) {
        Json printers = Printers();
        ASSERT_EQ(printers.size(), 1u);
        EXPECT_EQ(printers[0]["port"].AsString(), c.expect);
    } else {
        EXPECT_NE(run.err.find(c.expect), std::string::npos) << run.err;
        EXPECT_EQ(Printers().size(), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadedChoices,
    ::testing::Values(
        FileCase{"CommandLineWins", "[Drovan Setup]\nModel=QB410\nPort=COM2:\n", {"/port:COM3:"}, 0, "COM3:"},
        FileCase{"OtherSectionsAndCommentsIgnored",
                 "; ours\n[Other]\nModel=nonsense\n[drovan setup]\r\n  Model = KELV MR6A \r\nPort=LPT2:\r\n", {}, 0, "LPT2:"},
        FileCase{"Utf16WithItsMark", Utf16("[Drovan Setup]\r\nModel=QD530\r\nPort=FILE:\r\n"), {}, 0, "FILE:"},
        FileCase{"UnknownKey", "[Drovan Setup]\nModel=QB410\nColour=red\n", {}, 2, "choices.ini, line 3: unknown key \"Colour\""},
        FileCase{"FlagNeitherZeroNorOne", "[Drovan Setup]\nModel=QB410\nDefault=yes\n", {}, 2, "Default must be 0 or 1"},
        FileCase{"KeyTwice", "[Drovan Setup]\nModel=QB410\nModel=QD530\n", {}, 2, "line 3: Model is given twice"},
        FileCase{"NoSection", "Model=QB410\n", {}, 2, "has no [Drovan Setup] section"},
        FileCase{"BadSerial", "[Drovan Setup]\nModel=QB410\nPort=COM1:\nSerial=9600,n,9,1,p\n", {}, 2, "data bits \"9\""}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(CliTest, ChoicesFileThatCannotBeReadIsACommandLineError) {
    ProgramRun run = Drovan({"/quiet", "/loadinf:" + File("missing.ini").string()});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("cannot read the choices file"), std::string::npos) << run.err;
}
