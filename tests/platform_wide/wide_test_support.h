// Helpers shared by the wide-string tests, which run unchanged against the simulated
// machine and against the real Windows runtime.
#pragma once

#include <cerrno>
#include <string>

#include "platform/win32.h"

using WideText = std::basic_string<WCHAR>;

// A character outside the Basic Multilingual Plane (U+1F5A8, a printer), two UTF-16 units.
#define PRINTER_SYMBOL TEXT("\U0001F5A8")

// The runtime's bounded functions report bad arguments through the invalid-parameter
// handler, which on Windows ends the process unless one is installed. While an instance
// lives they return their error codes instead, as on the simulated machine.
class QuietInvalidParameters {
public:
    QuietInvalidParameters();
    ~QuietInvalidParameters();
    QuietInvalidParameters(const QuietInvalidParameters&) = delete;
    QuietInvalidParameters& operator=(const QuietInvalidParameters&) = delete;

#ifdef _WIN32
private:
    static void __cdecl Ignore(const wchar_t*, const wchar_t*, const wchar_t*, unsigned int, uintptr_t) {}
    _invalid_parameter_handler previous_;
#endif
};

#ifdef _WIN32
inline QuietInvalidParameters::QuietInvalidParameters() : previous_(_set_invalid_parameter_handler(&Ignore)) {}
inline QuietInvalidParameters::~QuietInvalidParameters() { _set_invalid_parameter_handler(previous_); }
#else
// The simulated machine's functions always return their error codes.
inline QuietInvalidParameters::QuietInvalidParameters() {}
inline QuietInvalidParameters::~QuietInvalidParameters() {}
#endif
