// Kills at many moments of installations and deletions: the print UI installing a package
// of many files (two of them large) over an older edition of its driver or on a machine
// without it, drovan-machine deleting that driver, the machine's next process dying while
// it finishes the work of the dead, and the wizard deleting and reinstalling its model.
// Each kill lands at a named crash point or after a random delay; after each, the machine
// is reopened as the next process opens it and its records are held against its files:
// no record without its files, no driver of two editions, no staged copies, scratch
// folders, orphaned files or journal rows; and a later installation succeeds.
//
// DROVAN_CRASH_ROUNDS=N sets the number of randomly timed kills (default 24).
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <cstdio>
#include <fstream>
#include <map>
#include <random>

#include "fresh_machine.h"
#include "machine_audit.h"
#include "platform/sim/file_changes.h"
#include "platform/sim/machine.h"
#include "platform/sim/spooler_store.h"
#include "platform/sim/text.h"

namespace fs = std::filesystem;

namespace {

const char kWizardModel[] = "QB410 Printer";

class Crashes : public FreshMachine {
protected:
    void SetUp() override {
        FreshMachine::SetUp();
        m_baseline = DriverDirNames(m_folder);
        m_bulk.count = 100;
        m_bulk.large = 2;
        m_bulk.largeBytes = 2 << 20;
        fs::path setup = sim::CurrentMachine().DriveC() / "Setup";
        fs::create_directories(setup);
        for (const char* f : {"MR2A_x64.inf", "mr2a.gpd"}) fs::copy_file(fs::path(DROVAN_BIN_DIR) / f, setup / f);
    }
    void TearDown() override {
        std::printf("kills and where they landed:\n");
        int total = 0;
        for (const auto& [where, n] : m_landed) {
            std::printf("  %4d  %s\n", n, where.c_str());
            total += n;
        }
        std::printf("  %4d  in all; %zu inconsistencies, %zu pieces of litter\n", total, m_inconsistent, m_litter);
        FreshMachine::TearDown();
    }

    std::vector<std::string> PrintUi(const std::string& printer, const std::string& inf, const std::string& model) const {
        return {DROVAN_PRINTUI_EXE, "PRINTUI.DLL,PrintUIEntry", "/if", "/b", printer, "/f", inf, "/r", "COM1:",
                "/m", model, "/q"};
    }
    std::vector<std::string> BulkPrintUi(const std::string& printer) const {
        return PrintUi(printer, "C:\\Bulk\\" + m_bulk.inf, m_bulk.model);
    }
    std::vector<std::string> Tool(std::vector<std::string> args) const {
        args.insert(args.begin(), {DROVAN_MACHINE_TOOL, "--machine", m_folder.string()});
        return args;
    }

    // Reopens the machine and holds its records against its files.
    MachineAudit Audit(const std::string& after) {
        MachineAudit a = AuditMachine(m_folder, m_bulk, m_baseline);
        m_inconsistent += a.inconsistencies.size();
        m_litter += a.litter.size();
        EXPECT_TRUE(a.inconsistencies.empty() && a.litter.empty()) << "after " << after << ":\n" << a.Report();
        return a;
    }

    // Where a kill from outside landed, read from the journal before anyone finishes it;
    // done: whether the store shows the work done (the printer there, the driver gone).
    std::string Landed(const RunResult& r, const std::function<bool(sim::Store&)>& done) {
        if (!r.killed) return "ran to its end before the kill";
        auto& db = sim::CurrentMachine().Db();
        auto sets = sim::ListFileChanges(db);
        if (sets.empty()) {
            bool there = db.Read([&] { return done(db); });
            return there ? "after its commit and clean-up" : "before its files were journalled";
        }
        for (const auto& s : sets)
            if (s.committed) return "committed, its leftovers not yet cleaned up";
        return "journalled, not committed (staging or putting files in place)";
    }

    // The bulk driver and its printers go, without a kill.
    void RemoveBulk() {
        MachineAudit a = AuditMachine(m_folder, m_bulk, m_baseline);
        for (const auto& [printer, driver] : a.driverOf) {
            if (driver == m_bulk.model) {
                ASSERT_TRUE(RunProgram(Tool({"printer", "delete", printer}), m_folder).Ok());
            }
        }
        if (a.drivers.count(m_bulk.model)) {
            ASSERT_TRUE(RunProgram(Tool({"driver", "delete", m_bulk.model}), m_folder).Ok());
        }
    }

    // One installation of a new edition of the bulk package, killed at the crash point or
    // after delayUs (< 0: no delay kill). The machine shows the old driver with its files or
    // the new one with its files, and installs the new one afterwards.
    void KilledInstall(int round, bool fromEmpty, const std::string& point, long delayUs, const char* label) {
        if (fromEmpty) RemoveBulk();
        std::string before = Audit("the set-up of round " + std::to_string(round)).bulkEdition;
        m_bulk.edition = std::to_string(round + 2);
        m_bulk.Write(sim::CurrentMachine().DriveC() / "Bulk");
        std::string printer = "Bulk " + std::to_string(round);
        pid_t pid = StartProgram(BulkPrintUi(printer), m_folder, point);
        if (delayUs >= 0) {
            usleep(static_cast<useconds_t>(delayUs));
            kill(pid, SIGKILL);
        }
        RunResult r = WaitProgram(pid);
        auto printed = [&](sim::Store& db) { return sim::spool::FindPrinter(db, sim::ToUtf16(printer)).has_value(); };
        std::string where = delayUs >= 0 ? "timed kill, " + Landed(r, printed) : point;
        if (delayUs < 0) {
            EXPECT_TRUE(r.killed) << point << " was not reached";
        }
        ++m_landed[std::string(label) + (fromEmpty ? " (no driver before): " : " (older driver before): ") + where];

        MachineAudit a = Audit(std::string(label) + " killed at " + where);
        if (a.printers.count(printer)) {
            EXPECT_EQ(a.bulkEdition, m_bulk.edition) << where;
        } else {
            EXPECT_EQ(a.bulkEdition, before) << where;
        }
        RunResult later = RunProgram(BulkPrintUi(printer + " again"), m_folder);
        EXPECT_TRUE(later.Ok()) << "the installation after a kill at " << where << " failed: " << later.exitCode;
        EXPECT_EQ(Audit("the installation after " + where).bulkEdition, m_bulk.edition);
    }

    // The bulk driver's deletion by drovan-machine, killed at the crash point or after a
    // delay: the driver with all its files, or neither.
    void KilledDelete(const std::string& point, long delayUs) {
        RemoveBulk();
        ASSERT_TRUE(RunProgram(BulkPrintUi("To delete"), m_folder).Ok());
        ASSERT_TRUE(RunProgram(Tool({"printer", "delete", "To delete"}), m_folder).Ok());
        pid_t pid = StartProgram(Tool({"driver", "delete", m_bulk.model}), m_folder, point);
        if (delayUs >= 0) {
            usleep(static_cast<useconds_t>(delayUs));
            kill(pid, SIGKILL);
        }
        RunResult r = WaitProgram(pid);
        if (delayUs < 0) {
            EXPECT_TRUE(r.killed) << point << " was not reached";
        }
        auto gone = [&](sim::Store& db) {
            return !sim::spool::FindDriver(db, *sim::spool::FindEnvironment(u"Windows x64"), sim::ToUtf16(m_bulk.model));
        };
        std::string where = delayUs >= 0 ? "timed kill, " + Landed(r, gone) : point;
        ++m_landed["drovan-machine deleting the driver: " + where];
        MachineAudit a = Audit("a deletion killed at " + where);
        if (a.drivers.count(m_bulk.model)) {
            EXPECT_EQ(a.bulkEdition, m_bulk.edition);
        }
        EXPECT_TRUE(RunProgram(BulkPrintUi("After deletion"), m_folder).Ok()) << where;
        Audit("the installation after a deletion killed at " + where);
    }

    fs::path Script(const std::string& text) {
        fs::path p = m_folder.parent_path() / ("script" + std::to_string(++m_scripts) + ".txt");
        std::ofstream(p, std::ios::binary) << text;
        return p;
    }

    BulkPackage m_bulk;
    std::set<std::string> m_baseline;
    std::map<std::string, int> m_landed;
    size_t m_inconsistent = 0, m_litter = 0;
    int m_scripts = 0;
};

long Rounds(long fallback) {
    const char* v = std::getenv("DROVAN_CRASH_ROUNDS");
    return v && *v ? std::max(1L, std::strtol(v, nullptr, 10)) : fallback;
}

}  // namespace

TEST_F(Crashes, PrintUiAndDeletionKilledAtEveryStep) {
    // Crash points of an installation: the journal row, staging (the first file, the middle
    // and the last of the package's 101), the records, putting files in place, the commit,
    // the clean-up after it.
    const std::vector<std::string> install = {
        "files-journal", "files-stage",     "files-stage:50",  "files-stage:101", "reg-create-key",
        "spooler-add-printer", "printui-between-driver-and-printer", "files-apply", "files-apply:50",
        "files-apply:101", "files-commit", "files-clean:50", "files-forget"};
    int round = 0;
    for (const auto& point : install)
        for (bool fromEmpty : {true, false}) KilledInstall(++round, fromEmpty, point, -1, "print UI installing");

    for (std::string point : {"files-journal", "files-apply", "files-apply:50", "files-commit", "files-clean:50",
                              "files-forget", "reg-delete-key"})
        KilledDelete(point, -1);

    // The next process dies while it finishes the work of a dead one: the one after it
    // finishes both.
    for (std::string first : {"files-apply:50", "files-clean:50"}) {
        for (std::string second : {"files-recover", "files-recover:40"}) {
            RemoveBulk();
            ASSERT_TRUE(RunProgram(BulkPrintUi("Old"), m_folder).Ok());
            m_bulk.edition = "recovered " + first + second;
            m_bulk.Write(sim::CurrentMachine().DriveC() / "Bulk");
            EXPECT_TRUE(RunProgram(BulkPrintUi("Killed"), m_folder, first).killed);
            EXPECT_TRUE(RunProgram(Tool({"drivers"}), m_folder, second).killed) << second;
            ++m_landed["the next process finishing a print UI killed at " + first + ": " + second];
            Audit("a recovery killed at " + second);
        }
    }
}

TEST_F(Crashes, PrintUiAndDeletionKilledAtRandomMoments) {
    // How long an installation takes here, to spread the kills over it.
    m_bulk.Write(sim::CurrentMachine().DriveC() / "Bulk");
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(RunProgram(BulkPrintUi("Timed"), m_folder).Ok());
    long installUs = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count();
    RemoveBulk();  // and a deletion
    ASSERT_TRUE(RunProgram(BulkPrintUi("Timed"), m_folder).Ok());
    ASSERT_TRUE(RunProgram(Tool({"printer", "delete", "Timed"}), m_folder).Ok());
    start = std::chrono::steady_clock::now();
    ASSERT_TRUE(RunProgram(Tool({"driver", "delete", m_bulk.model}), m_folder).Ok());
    long deleteUs = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count();
    std::mt19937 random(12345);
    long rounds = Rounds(24);
    for (long i = 0; i < rounds; ++i) {
        if (i % 4 == 3)
            KilledDelete("", std::uniform_int_distribution<long>(0, deleteUs)(random));
        else
            KilledInstall(static_cast<int>(i) + 100, i % 2 == 0, "", std::uniform_int_distribution<long>(0, installUs)(random),
                          "print UI installing");
    }
}

TEST_F(Crashes, WizardKilledWhileDeletingAndReinstallingItsModel) {
    // The wizard on its model page finds the model installed, deletes it (its printers,
    // then its driver and files, in the wizard's own process) and installs it again
    // through the print UI. The first hits of a point are the wizard's deletion; points the
    // deletion does not reach land in the print UI the wizard starts.
    const std::string script = "click 1001\nclick 3\nclick 3\nclick 1038\nclick 1040\nselect 1008 \"COM1:\"\nclick 3\n"
                               "wait-close 30000\nkey escape\n";
    struct Point {
        const char* name;
        bool inWizard;
    };
    const Point points[] = {{"files-journal", true},   {"files-apply", true},  {"files-apply:3", true},
                            {"files-commit", true},    {"files-clean:2", true}, {"files-forget", true},
                            {"files-stage:2", false},  {"printui-between-driver-and-printer", false},
                            {"spooler-add-printer", false}};
    const std::string inf = "C:\\Setup\\MR2A_x64.inf";
    for (const auto& p : points) {
        MachineAudit a = Audit(std::string("the set-up before ") + p.name);
        if (!a.printers.count(kWizardModel)) {
            ASSERT_TRUE(RunProgram(PrintUi(kWizardModel, inf, kWizardModel), m_folder).Ok());
        }
        RunResult r = RunProgram({DROVAN_REPLAY, "--machine", m_folder.string(), Script(script).string()}, m_folder,
                                 p.name, DROVAN_BIN_DIR);
        EXPECT_EQ(r.killed, p.inWizard) << p.name;
        ++m_landed[std::string(r.killed ? "the wizard, deleting its model: " : "the print UI under the wizard: ") + p.name];
        a = Audit(std::string("the wizard killed at ") + p.name);
        // Its driver stands with its files, or it is gone with them; a printer has its driver.
        std::string later = "Later " + std::string(p.name);
        EXPECT_TRUE(RunProgram(PrintUi(later, inf, kWizardModel), m_folder).Ok())
            << "the installation after a kill at " << p.name << " failed";
        Audit(std::string("the installation after the wizard's kill at ") + p.name);
        // Only the model's own printer uses its driver, so that the next deletion takes it.
        EXPECT_TRUE(RunProgram(Tool({"printer", "delete", later}), m_folder).Ok());
    }
}
