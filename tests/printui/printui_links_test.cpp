// Links planted where the wizard and the print UI write or read: C:\Temp (the wizard's
// language marker), C:\Windows\Temp and names in it like the print UI's scratch folders,
// the driver directory, and a package's own files. Nothing is written where a link points,
// what is refused leaves the machine as it was, and an installation without the link
// still works.
#include <sys/stat.h>

#include <fstream>

#include "fresh_machine.h"
#include "machine_audit.h"
#include "platform/sim/machine.h"

namespace fs = std::filesystem;

namespace {

class Links : public FreshMachine {
protected:
    void SetUp() override {
        FreshMachine::SetUp();
        m_driveC = sim::CurrentMachine().DriveC();
        m_baseline = DriverDirNames(m_folder);
        m_outside = m_folder.parent_path() / "outside";
        fs::create_directories(m_outside);
        m_bulk.count = 5;
        m_bulk.renameFirst = true;  // so that the print UI uses a scratch folder
        m_bulk.Write(m_driveC / "Bulk");
    }

    RunResult Install(const std::string& printer) {
        return RunProgram({DROVAN_PRINTUI_EXE, "PRINTUI.DLL,PrintUIEntry", "/if", "/b", printer, "/f",
                           "C:\\Bulk\\" + m_bulk.inf, "/r", "COM1:", "/m", m_bulk.model, "/q"},
                          m_folder);
    }
    size_t OutsideEntries() const {
        size_t n = 0;
        for (auto it = fs::recursive_directory_iterator(m_outside); it != fs::recursive_directory_iterator(); ++it) ++n;
        return n;
    }
    MachineAudit Audit(const std::string& after) {
        MachineAudit a = AuditMachine(m_folder, m_bulk, m_baseline);
        EXPECT_TRUE(a.inconsistencies.empty() && a.litter.empty()) << "after " << after << ":\n" << a.Report();
        return a;
    }
    // Replaces the folder at windowsRelative (below drive C:) with a link to target.
    void PlantFolderLink(const fs::path& relative, const fs::path& target) {
        fs::remove_all(m_driveC / relative);
        fs::create_directories((m_driveC / relative).parent_path());
        fs::create_directory_symlink(target, m_driveC / relative);
    }

    fs::path m_driveC, m_outside;
    BulkPackage m_bulk;
    std::set<std::string> m_baseline;
};

}  // namespace

TEST_F(Links, TempFolderThatIsALinkGetsNoLanguageMarker) {
    fs::path script = m_folder.parent_path() / "cancel.txt";
    std::ofstream(script) << "click 2\n";
    auto wizard = [&] {
        return RunProgram({DROVAN_REPLAY, "--machine", m_folder.string(), script.string()}, m_folder, {}, DROVAN_BIN_DIR);
    };
    // To a host folder, and to a folder of drive C: that the wizard has no business in.
    fs::create_directories(m_driveC / "Users/Public");
    for (const fs::path& target : {m_outside, m_driveC / "Users/Public"}) {
        PlantFolderLink("Temp", target);
        RunResult r = wizard();
        EXPECT_TRUE(r.Ok()) << target << ": " << r.exitCode;
        EXPECT_FALSE(fs::exists(target / "garland.out")) << target;
        EXPECT_TRUE(fs::is_symlink(m_driveC / "Temp"));
    }
    // A real folder gets its marker.
    fs::remove(m_driveC / "Temp");
    ASSERT_TRUE(wizard().Ok());
    EXPECT_TRUE(fs::is_regular_file(m_driveC / "Temp/garland.out"));
}

TEST_F(Links, ScratchAndDriverFoldersThatAreLinksAreNotWrittenThrough) {
    // Names like the scratch folders' planted in C:\Windows\Temp, pointing outside: the
    // print UI's own has a name nobody could guess and is made afresh.
    fs::path temp = m_driveC / "Windows/Temp";
    fs::create_directories(temp);
    for (const char* name : {"printui", "printui-1", "printui-0000000000000000", "printui-scratch"})
        fs::create_directory_symlink(m_outside, temp / name);
    RunResult r = Install("Planted names");
    EXPECT_TRUE(r.Ok()) << r.exitCode;
    EXPECT_EQ(OutsideEntries(), 0u);
    for (const auto& e : fs::directory_iterator(temp)) EXPECT_TRUE(fs::is_symlink(e.symlink_status())) << e.path();
    for (const auto& e : fs::directory_iterator(temp)) fs::remove(e.path());
    Audit("an installation beside planted names");

    // C:\Windows\Temp itself a link: the installation fails and writes nothing there.
    PlantFolderLink("Windows/Temp", m_outside);
    r = Install("Temp is a link");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(OutsideEntries(), 0u);
    fs::remove(m_driveC / "Windows/Temp");
    fs::create_directories(m_driveC / "Windows/Temp");

    // The driver directory a link: likewise.
    fs::path drivers = "Windows/System32/spool/drivers/x64/3";
    fs::path kept = m_folder.parent_path() / "drivers-kept";
    fs::rename(m_driveC / drivers, kept);
    fs::create_directory_symlink(m_outside, m_driveC / drivers);
    r = Install("Drivers is a link");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(OutsideEntries(), 0u);
    fs::remove(m_driveC / drivers);
    fs::rename(kept, m_driveC / drivers);

    // Without the links the same installation works, and nothing was left behind.
    EXPECT_TRUE(Install("After the links").Ok());
    MachineAudit a = Audit("the links");
    EXPECT_EQ(a.printers, (std::set<std::string>{"After the links", "Planted names"}));
}

TEST_F(Links, PackageFilesThatAreLinksAreRefused) {
    // A secret of the machine's that a link in the package would install as a driver file.
    fs::create_directories(m_driveC / "Users/Admin");
    { std::ofstream(m_driveC / "Users/Admin/secret.txt") << "secret"; }
    struct Case {
        const char* what;
        std::string file;  // the package's file replaced by a link
    };
    for (const Case& c : {Case{"a driver file", BulkPackage::FileName(2)}, Case{"a renamed file", BulkPackage::SourceName(0)},
                          Case{"the GPD", m_bulk.GpdName()}, Case{"the INF", m_bulk.inf}}) {
        m_bulk.Write(m_driveC / "Bulk");
        fs::path file = m_driveC / "Bulk" / c.file;
        fs::path real = m_folder.parent_path() / "real";
        fs::rename(file, real);
        fs::create_symlink(c.file == m_bulk.inf ? real : m_driveC / "Users/Admin/secret.txt", file);
        RunResult r = Install(std::string("Link in ") + c.what);
        EXPECT_EQ(r.exitCode, 1) << c.what;
        MachineAudit a = Audit(c.what);
        EXPECT_TRUE(a.printers.empty()) << c.what;
        EXPECT_TRUE(a.drivers.empty()) << c.what;
        fs::remove(file);
        fs::remove(real);
    }
    m_bulk.Write(m_driveC / "Bulk");
    EXPECT_TRUE(Install("No links").Ok());
    Audit("the refused links");
}
