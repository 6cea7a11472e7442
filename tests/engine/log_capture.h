// Captures what the engine hands to the log, as the tests' observer of g_log.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "engine/Log.h"

struct LogCapture {
    LogCapture();
    ~LogCapture();
    // The lines as handed over: every byte of each 2n + 2 byte buffer.
    std::vector<std::string> Raw() const;
    // The lines as text (the bytes up to the first zero).
    std::vector<std::string> Lines() const;
    void Clear();
};
