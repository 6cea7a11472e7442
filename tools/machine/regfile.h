// Registry files in regedit's two formats, so that registry state moves between machines
// (simulated or real) the way administrators move it:
//
//   "Windows Registry Editor Version 5.00"   UTF-16LE with a byte-order mark
//   "REGEDIT4"                               ANSI, in the machine's code page
//
// A file is the header line, then per key a blank line, "[HKEY_...\path]" and one line per
// value: @= for the default value, "name"= otherwise (\\ and \" escaped), then
//   "text"            REG_SZ (a string that a quoted form carries exactly)
//   dword:0000000a    REG_DWORD (four bytes)
//   hex:01,ff         REG_BINARY
//   hex(N):...        any other type N (hex(2) REG_EXPAND_SZ, hex(7) REG_MULTI_SZ, hex(b)
//                     REG_QWORD, hex(0) REG_NONE, hex(1) a REG_SZ the quoted form cannot
//                     carry, hex(4) a REG_DWORD that is not four bytes)
// Hex lists longer than a line go on after a backslash, as regedit wraps them. Deletions:
// [-KEY] removes a key with everything below it, "name"=- and @=- remove a value.
//
// Exactness: what Export writes, Parse and Apply restore byte for byte: every type, every
// size, strings without a terminator included (the data of hex(N) is stored exactly as
// listed; regedit would add a missing terminator). In a REGEDIT4 file the text of hex(1),
// hex(2) and hex(7) is in the ANSI code page, so Export refuses a value (or name) that the
// code page cannot carry exactly rather than write a file that would bring back something
// else.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/store.h"

namespace tool::regfile {

enum class Format { Unicode, Ansi };

// The key with everything below it, as a whole file's bytes. False with *error when a name
// or value cannot be written in this format (nothing is written then).
bool Export(sim::Store& db, int64_t key, Format format, std::string* file, std::string* error);

struct ParsedFile {
    struct Key {
        int64_t root = 0;
        std::vector<std::u16string> path;  // below the root
    };
    struct Change {
        enum Kind { kCreateKey, kDeleteKey, kSetValue, kDeleteValue } kind;
        size_t key = 0;  // into keys
        std::u16string name;
        uint32_t type = 0;
        std::string data;
    };
    std::vector<Key> keys;
    std::vector<Change> changes;  // in the file's order
};

// Reads a registry file. False with *error "line N: what is wrong" when any line is bad:
// a bad file changes nothing, so it is read whole before anything is applied.
bool Parse(std::string_view file, ParsedFile* out, std::string* error);

// Makes the file's changes in order, inside the caller's write transaction.
struct Applied {
    size_t keysCreated = 0, keysDeleted = 0, valuesSet = 0, valuesDeleted = 0;
};
Applied Apply(sim::Store& db, const ParsedFile& file);

}  // namespace tool::regfile
