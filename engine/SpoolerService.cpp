#include "engine/SpoolerService.h"

#include <string.h>

namespace {

const int kStatusPolls = 100;
const DWORD kStatusPollMs = 100;

}  // namespace

void WaitServiceStatus(SC_HANDLE hService, DWORD dwState) {
    SERVICE_STATUS status;
    for (int i = 0; i < kStatusPolls; ++i) {
        Sleep(kStatusPollMs);
        memset(&status, 0, sizeof(status));
        if (QueryServiceStatus(hService, &status) && status.dwCurrentState == dwState) return;
    }
}

void StopSpoolerService() {
    SC_HANDLE hManager = OpenSCManagerW(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    if (hManager == NULL) return;
    SC_HANDLE hService = OpenServiceW(hManager, TEXT("Spooler"), SERVICE_STOP | SERVICE_QUERY_STATUS);
    if (hService != NULL) {
        SERVICE_STATUS status;
        memset(&status, 0, sizeof(status));
        ControlService(hService, SERVICE_CONTROL_STOP, &status);
        WaitServiceStatus(hService, SERVICE_STOPPED);
        CloseServiceHandle(hService);
    }
    CloseServiceHandle(hManager);
}

void StartSpoolerService() {
    SC_HANDLE hManager = OpenSCManagerW(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    if (hManager == NULL) return;
    SC_HANDLE hService = OpenServiceW(hManager, TEXT("Spooler"), SERVICE_START | SERVICE_QUERY_STATUS);
    if (hService != NULL) {
        StartServiceW(hService, 0, NULL);
        WaitServiceStatus(hService, SERVICE_RUNNING);
        CloseServiceHandle(hService);
    }
    CloseServiceHandle(hManager);
}
