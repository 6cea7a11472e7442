// The wide-character C functions the installer uses, for 16-bit WCHAR text.
//
// They are C++ overloads beside the host's wchar_t functions of the same names, so a call
// with WCHAR arguments resolves here. Formatting follows the Microsoft runtime: in a wide
// format, %s takes a wide string and %hs/%S a narrow one.
#pragma once

#include <cstdarg>
#include <cstddef>
// The host's wide functions first: the standard library's std:: names must refer to
// them alone, not to the WCHAR overloads declared below.
#include <cwchar>
#include <cstdlib>
#include <string>

#include "types.h"

typedef int errno_t;

#ifndef _TRUNCATE
#define _TRUNCATE ((size_t)-1)
#endif
#ifndef STRUNCATE
#define STRUNCATE 80
#endif

size_t wcslen(const WCHAR* s);
size_t wcsnlen(const WCHAR* s, size_t max);
int wcscmp(const WCHAR* a, const WCHAR* b);
int wcsncmp(const WCHAR* a, const WCHAR* b, size_t n);
int _wcsicmp(const WCHAR* a, const WCHAR* b);
int _wcsnicmp(const WCHAR* a, const WCHAR* b, size_t n);
WCHAR* wcscpy(WCHAR* dst, const WCHAR* src);
WCHAR* wcsncpy(WCHAR* dst, const WCHAR* src, size_t n);
WCHAR* wcscat(WCHAR* dst, const WCHAR* src);
const WCHAR* wcschr(const WCHAR* s, WCHAR c);
WCHAR* wcschr(WCHAR* s, WCHAR c);
const WCHAR* wcsrchr(const WCHAR* s, WCHAR c);
WCHAR* wcsrchr(WCHAR* s, WCHAR c);
const WCHAR* wcsstr(const WCHAR* s, const WCHAR* sub);
WCHAR* wcsstr(WCHAR* s, const WCHAR* sub);
long wcstol(const WCHAR* s, WCHAR** end, int base);
unsigned long wcstoul(const WCHAR* s, WCHAR** end, int base);
int _wtoi(const WCHAR* s);

// The bounded copies of the Microsoft runtime. On a destination that is too small they
// leave an empty string and return ERANGE (or STRUNCATE with _TRUNCATE), never overrun.
errno_t wcscpy_s(WCHAR* dst, size_t size, const WCHAR* src);
errno_t wcsncpy_s(WCHAR* dst, size_t size, const WCHAR* src, size_t count);
errno_t wcscat_s(WCHAR* dst, size_t size, const WCHAR* src);

WCHAR* _wcslwr(WCHAR* s);
WCHAR* _wcsupr(WCHAR* s);
errno_t _wcslwr_s(WCHAR* s, size_t size);

// USER32's formatter: output is limited to 1024 characters, terminator included.
int wsprintfW(LPWSTR out, LPCWSTR format, ...);
int wvsprintfW(LPWSTR out, LPCWSTR format, va_list args);
// The runtime's: -1 and an empty buffer when the text does not fit.
int swprintf_s(WCHAR* out, size_t size, const WCHAR* format, ...);
int vswprintf_s(WCHAR* out, size_t size, const WCHAR* format, va_list args);
int _snwprintf(WCHAR* out, size_t count, const WCHAR* format, ...);
