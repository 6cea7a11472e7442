// Packing spooler records the way Win32 returns them: an array of structures at the start
// of the caller's buffer and the strings they point to behind the last one, all in the one
// buffer, sized by a first call that only learns how many bytes are needed.
#pragma once

#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "win32/errors.h"
#include "win32/kernel.h"
#include "win32/spooler.h"

namespace sim::spool {

// The string area behind the structures. Without a base it only counts bytes.
template <class Char>
class StringArea {
public:
    StringArea(BYTE* base, size_t offset) : m_base(base), m_offset(offset) {}

    // Copies text (converted to the ANSI code page for narrow records); returns where it
    // went, or null while counting.
    Char* Put(std::u16string_view text) {
        if constexpr (std::is_same_v<Char, char>) return PutRaw(Convert(text));
        else return PutRaw(text);  // wide text goes in as it is, without a copy between
    }
    // A list of strings, each terminated, ending with an empty one.
    Char* PutList(const std::vector<std::u16string>& list) {
        std::basic_string<Char> all;
        for (const auto& s : list) {
            all += Convert(s);
            all.push_back(0);
        }
        if (list.empty()) all.push_back(0);  // an empty list is two terminators
        return PutRaw(all);
    }
    size_t End() const { return m_offset; }

private:
    static std::basic_string<Char> Convert(std::u16string_view text) {
        if constexpr (std::is_same_v<Char, char>) {
            if (text.empty()) return {};
            int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                        nullptr, 0, nullptr, nullptr);
            std::string out(n > 0 ? n : 0, '\0');
            if (n > 0)
                WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                    out.data(), n, nullptr, nullptr);
            return out;
        } else {
            return std::u16string(text);
        }
    }
    // The text and one terminator (for a list: the empty string that ends it).
    Char* PutRaw(std::basic_string_view<Char> text) {
        size_t chars = text.size() + 1;
        Char* at = m_base ? reinterpret_cast<Char*>(m_base + m_offset) : nullptr;
        if (at) {
            std::memcpy(at, text.data(), text.size() * sizeof(Char));
            at[text.size()] = 0;
        }
        m_offset += chars * sizeof(Char);
        return at;
    }

    BYTE* m_base;
    size_t m_offset;
};

// Packs count records of structure T. fill(i, T&, StringArea<Char>&) fills record i. Gives
// ERROR_SUCCESS with *pcbNeeded and *pcReturned set, or ERROR_INSUFFICIENT_BUFFER with
// the size needed. Nothing to return is a success with 0 bytes needed.
template <class T, class Char, class F>
DWORD PackRecords(size_t count, F&& fill, LPBYTE buffer, DWORD cbBuf, LPDWORD pcbNeeded,
                  LPDWORD pcReturned) {
    if (!buffer && cbBuf) return ERROR_INVALID_USER_BUFFER;
    StringArea<Char> measure(nullptr, sizeof(T) * count);
    for (size_t i = 0; i < count; ++i) {
        T scratch{};
        fill(i, scratch, measure);
    }
    size_t needed = measure.End();
    *pcbNeeded = static_cast<DWORD>(needed);
    if (pcReturned) *pcReturned = 0;
    if (needed > cbBuf) return ERROR_INSUFFICIENT_BUFFER;
    if (count == 0) return ERROR_SUCCESS;
    StringArea<Char> area(buffer, sizeof(T) * count);
    T* records = reinterpret_cast<T*>(buffer);
    for (size_t i = 0; i < count; ++i) {
        std::memset(&records[i], 0, sizeof(T));
        fill(i, records[i], area);
    }
    if (pcReturned) *pcReturned = static_cast<DWORD>(count);
    return ERROR_SUCCESS;
}

}  // namespace sim::spool
