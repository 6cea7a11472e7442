// The Spooler service on the driven clock: pending states that end on this process's
// machine time, spooler calls refused with RPC_S_SERVER_UNAVAILABLE meanwhile, printer
// handles that do not survive a restart, held drivers that a restart lets go, and another
// process's view of a pending state.
#include <chrono>
#include <thread>

#include "platform/sim/clock.h"
#include "platform/sim/services_state.h"
#include "spooler_sim_support.h"

class SpoolerService : public SpoolerMachine {
protected:
    void SetUp() override {
        SpoolerMachine::SetUp();
        sim::clock::Drive();
    }
};

TEST_F(SpoolerService, StopAndStartPassThroughPendingStatesOnTheMachineClock) {
    ASSERT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING)) << "a new machine's spooler runs";
    EXPECT_EQ(ControlSpooler(true), static_cast<DWORD>(SERVICE_STOP_PENDING));
    sim::clock::Advance(sim::svc::kStopPendingMs - 1);
    EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_STOP_PENDING)) << "1 ms before the end";
    sim::clock::Advance(1);
    EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_STOPPED));

    EXPECT_EQ(ControlSpooler(false), static_cast<DWORD>(SERVICE_START_PENDING));
    sim::clock::Advance(sim::svc::kStartPendingMs - 1);
    EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_START_PENDING));
    sim::clock::Advance(1);
    EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING));
}

TEST_F(SpoolerService, SpoolerCallsFailWithServerUnavailableUntilItRunsAgain) {
    AddDriverAndPrinter("Q");
    WCHAR name[] = u"Q";
    PRINTER_DEFAULTSW all{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE before = nullptr;
    ASSERT_TRUE(OpenPrinterW(name, &before, &all));

    ControlSpooler(true);
    auto expectDown = [&](const char* when) {
        DWORD needed = 0, returned = 0;
        SetLastError(kPoison);
        EXPECT_FALSE(EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned)) << when;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE)) << when;
        SetLastError(kPoison);
        EXPECT_FALSE(EnumPortsW(nullptr, 2, nullptr, 0, &needed, &returned)) << when;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE)) << when;
        HANDLE h = nullptr;
        SetLastError(kPoison);
        EXPECT_FALSE(OpenPrinterW(name, &h, &all)) << when;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE)) << when;
        SetLastError(kPoison);
        EXPECT_FALSE(SetDefaultPrinterW(u"Q")) << when;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE)) << when;
        SetLastError(kPoison);
        EXPECT_FALSE(DeletePrinterDriverExW(nullptr, nullptr, name, DPD_DELETE_UNUSED_FILES, 3)) << when;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE)) << when;
    };
    expectDown("while the stop is pending");
    sim::clock::Advance(sim::svc::kStopPendingMs);
    expectDown("while stopped");
    ControlSpooler(false);
    expectDown("while the start is pending");
    sim::clock::Advance(sim::svc::kStartPendingMs);

    EXPECT_EQ(LocalPrinterNames(), std::vector<std::u16string>{u"Q"}) << "the printer outlived the restart";
    DWORD needed = 0;
    SetLastError(kPoison);
    EXPECT_FALSE(GetPrinterW(before, 2, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE)) << "a handle of the last run is stale";
    ClosePrinter(before);
}

TEST_F(SpoolerService, AHeldDriverGoesOnlyAfterTheSpoolerHasRestarted) {
    ASSERT_EQ(Tool("driver add Held --file '" + WritePackage("held.dll") + "'").status, 0);
    auto r = Tool("driver hold Held");
    ASSERT_EQ(r.status, 0) << r.out;
    WCHAR name[] = u"Held";
    SetLastError(kPoison);
    EXPECT_FALSE(DeletePrinterDriverExW(nullptr, nullptr, name, DPD_DELETE_UNUSED_FILES, 3));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRINTER_DRIVER_IN_USE)) << "no printer, but held";

    ControlSpooler(true);
    sim::clock::Advance(sim::svc::kStopPendingMs);
    ControlSpooler(false);
    sim::clock::Advance(sim::svc::kStartPendingMs);
    SetLastError(kPoison);
    EXPECT_TRUE(DeletePrinterDriverExW(nullptr, nullptr, name, DPD_DELETE_UNUSED_FILES, 3)) << GetLastError();
    EXPECT_EQ(Tool("drivers").out, "no printer drivers\n");
}

TEST_F(SpoolerService, AnotherProcessSeesThePendingStateEndInRealTime) {
    // This process asks on its driven clock, which does not move by itself...
    ASSERT_EQ(ControlSpooler(true), static_cast<DWORD>(SERVICE_STOP_PENDING));
    auto r = Tool("--json service Spooler status");
    EXPECT_NE(r.out.find("\"stateName\":\"stop pending\""), std::string::npos) << r.out;
    // ...while the other process sees the stop end after its length of real time.
    std::string out;
    for (int i = 0; i < 100 && out.find("stopped") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        out = Tool("service Spooler status").out;
    }
    EXPECT_EQ(out, "Spooler: stopped\n");
    EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_STOP_PENDING)) << "here the machine clock decides";
    sim::clock::Advance(sim::svc::kStopPendingMs);
    EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_STOPPED));

    // A start by the tool waits until the service runs; this process sees its pending
    // state end on the host's clock.
    r = Tool("service Spooler start");
    EXPECT_EQ(r.out, "Spooler: running\n");
    for (int i = 0; i < 100 && SpoolerState() != SERVICE_RUNNING; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING));
    r = Tool("service Spooler start");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("running"), std::string::npos) << r.out;
}
