// The "Spooler" service through the service control manager: access checks, an unknown
// service, and a stop and a start observed through QueryServiceStatus.
#include <gtest/gtest.h>

#include "spooler_support.h"

namespace spooler {
namespace {

// Polls as the removal code does: every 100 ms, at most 100 times.
bool WaitFor(SC_HANDLE service, DWORD state) {
    for (int i = 0; i < 100; ++i) {
        Sleep(100);
        SERVICE_STATUS status{};
        if (QueryServiceStatus(service, &status) && status.dwCurrentState == state) return true;
    }
    return false;
}

struct Handles {
    SC_HANDLE manager = nullptr, service = nullptr;
    ~Handles() {
        if (service) CloseServiceHandle(service);
        if (manager) CloseServiceHandle(manager);
    }
};

TEST(Services, UnknownServiceAndMissingAccess) {
    Handles h;
    SetLastError(kPoison);
    h.manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(h.manager, nullptr) << "error " << GetLastError();

    SetLastError(kPoison);
    SC_HANDLE none = OpenServiceW(h.manager, TEXT("DrovanNoSuchService"), SERVICE_QUERY_STATUS);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST))
        << "expected ERROR_SERVICE_DOES_NOT_EXIST";

    h.service = OpenServiceW(h.manager, TEXT("Spooler"), SERVICE_QUERY_STATUS);
    ASSERT_NE(h.service, nullptr) << "error " << GetLastError();
    SERVICE_STATUS status{};
    SetLastError(kPoison);
    EXPECT_FALSE(ControlService(h.service, SERVICE_CONTROL_STOP, &status))
        << "a handle without SERVICE_STOP cannot stop";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    SetLastError(kPoison);
    EXPECT_FALSE(StartServiceW(h.service, 0, nullptr)) << "a handle without SERVICE_START cannot start";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    SetLastError(kPoison);
    EXPECT_TRUE(QueryServiceStatus(h.service, &status)) << "error " << GetLastError();
    EXPECT_TRUE(status.dwCurrentState >= SERVICE_STOPPED && status.dwCurrentState <= SERVICE_RUNNING)
        << "state " << status.dwCurrentState;
}

TEST(Services, SpoolerStopsAndStartsAgain) {
    Handles h;
    h.manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(h.manager, nullptr) << "error " << GetLastError();
    h.service = OpenServiceW(h.manager, TEXT("Spooler"), SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS);
    ASSERT_NE(h.service, nullptr) << "error " << GetLastError();

    SERVICE_STATUS status{};
    ASSERT_TRUE(QueryServiceStatus(h.service, &status));
    if (status.dwCurrentState == SERVICE_STOPPED) {  // a demand-start spooler not yet running
        ASSERT_TRUE(StartServiceW(h.service, 0, nullptr)) << "error " << GetLastError();
        ASSERT_TRUE(WaitFor(h.service, SERVICE_RUNNING));
    }

    SetLastError(kPoison);
    EXPECT_FALSE(StartServiceW(h.service, 0, nullptr)) << "it runs already";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_ALREADY_RUNNING));

    SetLastError(kPoison);
    ASSERT_TRUE(ControlService(h.service, SERVICE_CONTROL_STOP, &status)) << "error " << GetLastError();
    EXPECT_TRUE(status.dwCurrentState == SERVICE_STOP_PENDING || status.dwCurrentState == SERVICE_STOPPED)
        << "state " << status.dwCurrentState;
    EXPECT_TRUE(WaitFor(h.service, SERVICE_STOPPED)) << "the spooler stops";

    SetLastError(kPoison);
    EXPECT_FALSE(ControlService(h.service, SERVICE_CONTROL_STOP, &status)) << "it is stopped already";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE));
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED)) << "the status comes back";

    SetLastError(kPoison);
    ASSERT_TRUE(StartServiceW(h.service, 0, nullptr)) << "error " << GetLastError();
    EXPECT_TRUE(WaitFor(h.service, SERVICE_RUNNING)) << "the spooler runs again";
}

}  // namespace
}  // namespace spooler
