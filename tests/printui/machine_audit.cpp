#include "machine_audit.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/sim/file_changes.h"
#include "platform/sim/machine.h"
#include "platform/sim/paths.h"
#include "platform/sim/spooler_store.h"
#include "platform/sim/text.h"

namespace fs = std::filesystem;

namespace {

fs::path DriverDir(const fs::path& machineFolder) {
    return machineFolder / "drive_c/Windows/System32/spool/drivers/x64/3";
}

std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

std::string MachineAudit::Report() const {
    std::ostringstream out;
    for (const auto& i : inconsistencies) out << "  inconsistent: " << i << "\n";
    for (const auto& l : litter) out << "  litter: " << l << "\n";
    return out.str();
}

std::set<std::string> DriverDirNames(const fs::path& machineFolder) {
    std::set<std::string> names;
    std::error_code ec;
    for (auto it = fs::directory_iterator(DriverDir(machineFolder), ec); !ec && it != fs::directory_iterator(); ++it)
        names.insert(Lower(it->path().filename().string()));
    return names;
}

MachineAudit AuditMachine(const fs::path& machineFolder, const BulkPackage& bulk, const std::set<std::string>& baseline) {
    sim::UseMachine(machineFolder);  // opened anew: what the dead left is finished or undone now
    auto& db = sim::CurrentMachine().Db();
    MachineAudit a;
    const auto* env = sim::spool::FindEnvironment(u"Windows x64");
    std::set<std::string> named;
    std::vector<sim::spool::Driver> drivers;
    std::vector<sim::spool::Printer> printers;
    db.Read([&] {
        drivers = sim::spool::Drivers(db, *env);
        printers = sim::spool::LocalPrinters(db);
    });
    for (const auto& d : drivers) {
        std::string name = sim::ToUtf8(d.name);
        a.drivers.insert(name);
        for (const auto& f : d.Files()) {
            named.insert(Lower(sim::ToUtf8(f)));
            DWORD error = 0;
            auto host = sim::HostPath(sim::spool::DriverFilePath(d, f), &error);
            struct stat st {};
            if (!host || lstat(host->c_str(), &st) != 0 || !S_ISREG(st.st_mode))
                a.inconsistencies.push_back("driver " + name + " names " + sim::ToUtf8(f) + ", which is not there");
        }
        if (name != bulk.model) continue;
        // Every file of one edition: the driver's files came and went together.
        std::set<std::string> editions;
        for (size_t i = 0; i < bulk.count; ++i) {
            std::string text = Read(DriverDir(machineFolder) / BulkPackage::FileName(i));
            size_t cut = text.find(" of ");
            editions.insert(text.rfind("edition ", 0) == 0 && cut != std::string::npos ? text.substr(8, cut - 8) : "?");
        }
        if (editions.size() == 1)
            a.bulkEdition = *editions.begin();
        else
            a.inconsistencies.push_back("the bulk driver's files are of " + std::to_string(editions.size()) +
                                        " editions");
    }
    for (const auto& p : printers) {
        std::string name = sim::ToUtf8(p.name), driver = sim::ToUtf8(p.driver);
        a.printers.insert(name);
        a.driverOf[name] = driver;
        if (!a.drivers.count(driver)) a.inconsistencies.push_back("printer " + name + " has no driver " + driver);
    }
    for (const auto& n : DriverDirNames(machineFolder)) {
        if (n.find(".~") != std::string::npos)
            a.litter.push_back("staged or kept copy " + n);
        else if (!named.count(n) && !baseline.count(n))
            a.litter.push_back("file no driver names: " + n);
    }
    std::error_code ec;
    for (auto it = fs::directory_iterator(machineFolder / "drive_c/Windows/Temp", ec); !ec && it != fs::directory_iterator();
         ++it)
        if (it->path().filename().string().rfind("printui", 0) == 0)
            a.litter.push_back("scratch folder " + it->path().filename().string());
    for (const auto& set : sim::ListFileChanges(db))
        a.litter.push_back("journal row " + set.token + (set.ownerAlive ? " (owner alive)" : ""));
    return a;
}

pid_t StartProgram(const std::vector<std::string>& argv, const fs::path& machineFolder, const std::string& crashPoint,
                   const fs::path& cwd) {
    pid_t pid = fork();
    if (pid != 0) return pid;
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(127);
    setenv("DROVAN_MACHINE", machineFolder.c_str(), 1);
    unsetenv("DROVAN_COMMAND_LINE");
    unsetenv("DROVAN_PRINTUI");
    if (crashPoint.empty())
        unsetenv("DROVAN_SIM_CRASH");
    else
        setenv("DROVAN_SIM_CRASH", crashPoint.c_str(), 1);
    // Quiet: the programs' own messages would only crowd the test's output.
    int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
        dup2(null, 1);
        dup2(null, 2);
    }
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
}

RunResult WaitProgram(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    RunResult r;
    r.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

RunResult RunProgram(const std::vector<std::string>& argv, const fs::path& machineFolder, const std::string& crashPoint,
                     const fs::path& cwd) {
    return WaitProgram(StartProgram(argv, machineFolder, crashPoint, cwd));
}
