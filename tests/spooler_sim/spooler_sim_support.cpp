#include "spooler_sim_support.h"

#include <fstream>

#include "platform/sim/text.h"

CommandResult SpoolerMachine::Tool(const std::string& args) const {
    return RunCommand(std::string(DROVAN_MACHINE_TOOL) + " --machine '" + m_folder.string() + "' " + args);
}

std::string SpoolerMachine::WritePackage(const std::string& file) {
    auto dir = m_folder.parent_path() / "package";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / file) << "file " << file << "\n";
    return (dir / file).string();
}

void SpoolerMachine::AddDriverAndPrinter(const std::string& name, const std::string& port) {
    std::string file = WritePackage("drv.dll");
    auto r = Tool("driver add '" + name + "' --file '" + file + "'");
    ASSERT_EQ(r.status, 0) << r.out;
    r = Tool("printer add '" + name + "' --driver '" + name + "' --port '" + port + "'");
    ASSERT_EQ(r.status, 0) << r.out;
}

std::u16string U(const std::string& utf8) { return sim::ToUtf16(utf8); }

std::vector<std::u16string> LocalPrinterNames() {
    std::vector<std::u16string> names;
    DWORD needed = 0, returned = 0;
    EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned);
    std::vector<BYTE> buffer(needed);
    if (!EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, needed ? buffer.data() : nullptr, needed, &needed,
                       &returned))
        return names;
    auto* r = reinterpret_cast<PRINTER_INFO_2W*>(buffer.data());
    for (DWORD i = 0; i < returned; ++i) names.emplace_back(r[i].pPrinterName);
    return names;
}

namespace {
SC_HANDLE OpenSpooler(SC_HANDLE* manager) {
    *manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    return OpenServiceW(*manager, u"Spooler", SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS);
}
}  // namespace

DWORD ControlSpooler(bool stop) {
    SC_HANDLE manager = nullptr;
    SC_HANDLE service = OpenSpooler(&manager);
    SERVICE_STATUS status{};
    if (stop) ControlService(service, SERVICE_CONTROL_STOP, &status);
    else StartServiceW(service, 0, nullptr);
    QueryServiceStatus(service, &status);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return status.dwCurrentState;
}

DWORD SpoolerState() {
    SC_HANDLE manager = nullptr;
    SC_HANDLE service = OpenSpooler(&manager);
    SERVICE_STATUS status{};
    QueryServiceStatus(service, &status);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return status.dwCurrentState;
}
