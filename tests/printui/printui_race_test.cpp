// Installations of one model at once: two print UIs, each with its own edition of the
// package, for one printer name or for two; and two wizards racing for one printer name
// on different ports. The surviving driver always has all its files, of one edition; for
// one name exactly one print UI and one wizard succeed, the print UI that lost fails as
// when the name was taken before it started, and the wizard that lost reports the failure
// (or, come too late to race, is offered the installed driver).
//
// DROVAN_RACE_ROUNDS=N sets the number of rounds (default 12 for the print UIs, a third of
// that for the wizards).
#include <cstdio>
#include <fstream>

#include "fresh_machine.h"
#include "machine_audit.h"
#include "platform/sim/machine.h"

namespace fs = std::filesystem;

namespace {

const char kModel[] = "QB410 Printer";

long Rounds(long fallback) {
    const char* v = std::getenv("DROVAN_RACE_ROUNDS");
    return v && *v ? std::max(1L, std::strtol(v, nullptr, 10)) : fallback;
}

class Races : public FreshMachine {
protected:
    void SetUp() override {
        FreshMachine::SetUp();
        m_baseline = DriverDirNames(m_folder);
        m_bulk.count = 100;
        m_bulk.large = 1;
        m_bulk.largeBytes = 1 << 20;
    }

    std::vector<std::string> BulkPrintUi(const std::string& printer, const std::string& folder) const {
        return {DROVAN_PRINTUI_EXE, "PRINTUI.DLL,PrintUIEntry", "/if", "/b", printer, "/f",
                "C:\\" + folder + "\\" + m_bulk.inf, "/r", "COM1:", "/m", m_bulk.model, "/q"};
    }
    std::string Tool(const std::string& args) const {
        return std::string(DROVAN_MACHINE_TOOL) + " --machine '" + m_folder.string() + "' " + args;
    }
    MachineAudit Audit(const std::string& after) {
        MachineAudit a = AuditMachine(m_folder, m_bulk, m_baseline);
        EXPECT_TRUE(a.inconsistencies.empty() && a.litter.empty()) << "after " << after << ":\n" << a.Report();
        return a;
    }

    BulkPackage m_bulk;
    std::set<std::string> m_baseline;
};

}  // namespace

TEST_F(Races, TwoPrintUisInstallingOneModel) {
    int oneName = 0, twoNames = 0;
    for (long round = 0; round < Rounds(12); ++round) {
        // Each its own package, of an edition of its own.
        BulkPackage a = m_bulk, b = m_bulk;
        a.edition = std::to_string(round) + "a";
        b.edition = std::to_string(round) + "b";
        a.Write(sim::CurrentMachine().DriveC() / "A");
        b.Write(sim::CurrentMachine().DriveC() / "B");
        bool sameName = round % 2 == 0;
        std::string first = "Race " + std::to_string(round), second = sameName ? first : first + " too";
        pid_t pa = StartProgram(BulkPrintUi(first, "A"), m_folder);
        pid_t pb = StartProgram(BulkPrintUi(second, "B"), m_folder);
        RunResult ra = WaitProgram(pa), rb = WaitProgram(pb);
        std::string what = "round " + std::to_string(round) + (sameName ? " (one name)" : " (two names)");

        MachineAudit audit = Audit(what);
        EXPECT_TRUE(audit.printers.count(first) && audit.printers.count(second)) << what;
        EXPECT_TRUE(audit.bulkEdition == a.edition || audit.bulkEdition == b.edition)
            << what << ": the driver's files are of edition " << audit.bulkEdition;
        if (sameName) {
            ++oneName;
            EXPECT_EQ(ra.Ok() + rb.Ok(), 1) << what << ": exit codes " << ra.exitCode << ", " << rb.exitCode;
            const RunResult& loser = ra.Ok() ? rb : ra;
            EXPECT_EQ(loser.exitCode, 1) << what;
            CommandResult events = RunCommand(Tool("events"));
            std::string taken = "a printer named \"" + first + "\" already exists";
            EXPECT_NE(events.out.find(taken), std::string::npos) << what << ":\n" << events.out;
        } else {
            ++twoNames;
            EXPECT_TRUE(ra.Ok() && rb.Ok()) << what << ": exit codes " << ra.exitCode << ", " << rb.exitCode;
        }
        RunCommand(Tool("events clear"));
    }
    std::printf("print UIs racing: %d rounds for one name, %d for two\n", oneName, twoNames);
}

TEST_F(Races, TwoWizardsRacingForOnePrinterName) {
    // One wizard asks for the printer on COM1:, the other on COM2:. The one whose print UI
    // loses finds the printer on the other port and reports the failure.
    auto script = [&](const char* port) {
        fs::path p = m_folder.parent_path() / (std::string("race-") + port + ".txt");
        std::ofstream(p, std::ios::binary) << "click 1001\nclick 3\nclick 3\nselect 1008 \"" << port
                                           << ":\"\nclick 3\nwait-close 30000\n";
        return p;
    };
    fs::path s1 = script("COM1"), s2 = script("COM2");
    auto start = [&](const fs::path& s) {
        std::string cmd = "cd '" DROVAN_BIN_DIR "' && env -u DROVAN_PRINTUI '" DROVAN_REPLAY "' --machine '" +
                          m_folder.string() + "' '" + s.string() + "' 2>&1";
        return popen(cmd.c_str(), "r");
    };
    auto read = [](FILE* f) {
        std::string out;
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
        pclose(f);
        return out;
    };
    const std::string success = "Printer driver installation success!", failure = "Printer driver installation failed!";
    long rounds = std::max(1L, Rounds(12) / 3);
    int firstWon = 0, secondWon = 0, raced = 0;
    for (long round = 0; round < rounds; ++round) {
        FILE* w1 = start(s1);
        FILE* w2 = start(s2);
        ASSERT_TRUE(w1 && w2);
        std::string t1 = read(w1), t2 = read(w2);
        bool ok1 = t1.find(success) != std::string::npos, ok2 = t2.find(success) != std::string::npos;
        EXPECT_EQ(ok1 + ok2, 1) << "round " << round << ":\n" << t1 << "\n" << t2;
        // The loser reports the failure, or came to the model page after the winner had
        // finished and was offered the installed driver (dialog 142) instead.
        const std::string& lost = ok1 ? t2 : t1;
        bool late = lost.find("open 142") != std::string::npos;
        EXPECT_TRUE(late || lost.find(failure) != std::string::npos) << lost;
        raced += !late;
        MachineAudit a = Audit("wizards' round " + std::to_string(round));
        ASSERT_EQ(a.printers.count(kModel), 1u);
        (ok1 ? firstWon : secondWon)++;
        RunCommand(Tool("printer delete '" + std::string(kModel) + "'"));
    }
    std::printf("wizards racing: %ld rounds, the first won %d, the second %d; %d raced to the end\n", rounds, firstWon,
                secondWon, raced);
}
