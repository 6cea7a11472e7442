// Handles are typed: a handle of one kind passed where another is expected, or a handle
// already closed, fails with ERROR_INVALID_HANDLE and does nothing.
#include <gtest/gtest.h>

#include "contract_support.h"

namespace contract {
namespace {

TEST(HandleKinds, RegistryKeyIsNotAnEvent) {
    TestKey test;
    ASSERT_NE(test.Handle(), nullptr);
    SetLastError(kPoison);
    BOOL ok = SetEvent(reinterpret_cast<HANDLE>(test.Handle()));
    DWORD error = GetLastError();
    EXPECT_FALSE(ok) << "SetEvent on a registry key must fail";
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_HANDLE)) << "expected ERROR_INVALID_HANDLE";

    SetLastError(kPoison);
    ok = ResetEvent(reinterpret_cast<HANDLE>(test.Handle()));
    error = GetLastError();
    EXPECT_FALSE(ok) << "ResetEvent on a registry key must fail";
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_HANDLE));

    // The key is unharmed.
    const DWORD number = 1;
    EXPECT_EQ(RegSetValueExW(test.Handle(), TEXT("StillThere"), 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&number), sizeof number),
              ERROR_SUCCESS);
}

TEST(HandleKinds, EventIsNotARegistryKeyOrThread) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    DWORD cbData = 0;
    LONG ret = RegQueryValueExW(reinterpret_cast<HKEY>(event), TEXT("x"), nullptr, nullptr, nullptr,
                                &cbData);
    EXPECT_EQ(ret, ERROR_INVALID_HANDLE) << "RegQueryValueExW on an event handle";
    const DWORD number = 1;
    ret = RegSetValueExW(reinterpret_cast<HKEY>(event), TEXT("x"), 0, REG_DWORD,
                         reinterpret_cast<const BYTE*>(&number), sizeof number);
    EXPECT_EQ(ret, ERROR_INVALID_HANDLE) << "RegSetValueExW on an event handle";

    DWORD code = kPoison;
    SetLastError(kPoison);
    BOOL ok = GetExitCodeThread(event, &code);
    DWORD error = GetLastError();
    EXPECT_FALSE(ok) << "GetExitCodeThread on an event handle must fail";
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_HANDLE));

    EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "the event is unharmed and still not signalled";
    EXPECT_TRUE(CloseHandle(event));
}

TEST(HandleKinds, ClosedHandleIsInvalid) {
    HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    ASSERT_NE(event, nullptr);
    SetLastError(kPoison);
    EXPECT_TRUE(CloseHandle(event)) << "the first close succeeds";

    SetLastError(kPoison);
    DWORD wait = WaitForSingleObject(event, 0);
    DWORD error = GetLastError();
    EXPECT_EQ(wait, WAIT_FAILED) << "waiting on a closed handle fails, even one left signalled";
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_HANDLE)) << "expected ERROR_INVALID_HANDLE";

    SetLastError(kPoison);
    BOOL ok = SetEvent(event);
    error = GetLastError();
    EXPECT_FALSE(ok) << "SetEvent on a closed handle";
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_HANDLE));

    SetLastError(kPoison);
    ok = CloseHandle(event);
    error = GetLastError();
    EXPECT_FALSE(ok) << "a handle closes once";
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_HANDLE)) << "expected ERROR_INVALID_HANDLE";

    SetLastError(kPoison);
    ok = CloseHandle(nullptr);
    error = GetLastError();
    EXPECT_FALSE(ok) << "NULL is not a handle";
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
}  // namespace contract
