// Stopping and starting the Windows print spooler service, for a printer driver that the
// spooler will not let go of until it has been restarted. None of them reports an outcome:
// a refused stop or start shows only as a wait that runs its full length.
#pragma once

#include "platform/win32.h"

void StopSpoolerService();
void StartSpoolerService();
// Polls the service every 100 ms, at most 100 times, until it reports dwState.
void WaitServiceStatus(SC_HANDLE hService, DWORD dwState);
