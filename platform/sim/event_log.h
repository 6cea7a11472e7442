// The machine's event log, where the print UI records why it failed (on Windows the
// print UI shows a message box and the system keeps an event) and the C runtime records
// the commands it was asked to run. Each event is a key
//   HKLM\SYSTEM\DrovanEvents\<8-digit number>
// with the values Source, Level ("Error", "Warning" or "Information"), Code (REG_DWORD,
// the Win32 or Setup error), Message, CommandLine and Time (UTC, ISO 8601).
// `drovan-machine events` lists them.
#pragma once

#include <string>

#include "win32/types.h"

namespace sim {

inline constexpr const char16_t* kEventLogKey = u"SYSTEM\\DrovanEvents";

struct Event {
    std::u16string source;  // "PrintUI", "RunDLL", "CRT"
    std::u16string level = u"Error";
    DWORD code = 0;
    std::u16string message;
    std::u16string commandLine;
};

// Appends an event; false when the registry refused it (the Win32 error is set).
bool RecordEvent(const Event& event);

}  // namespace sim
