#include "json.h"

#include <cstdlib>

void AppendUtf8(std::string& out, unsigned cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

namespace {

bool Hex4(std::string_view text, size_t pos, unsigned* value) {
    if (pos + 4 > text.size()) return false;
    *value = 0;
    for (size_t i = pos; i < pos + 4; ++i) {
        char c = text[i];
        unsigned d = c >= '0' && c <= '9'   ? unsigned(c - '0')
                     : c >= 'a' && c <= 'f' ? unsigned(c - 'a' + 10)
                     : c >= 'A' && c <= 'F' ? unsigned(c - 'A' + 10)
                                            : 16u;
        if (d == 16) return false;
        *value = *value * 16 + d;
    }
    return true;
}

}  // namespace

bool DecodeJsonString(std::string_view text, size_t* pos, std::string* out) {
    size_t i = *pos;
    if (i >= text.size() || text[i] != '"') return false;
    ++i;
    out->clear();
    while (i < text.size()) {
        char c = text[i++];
        if (c == '"') {
            *pos = i;
            return true;
        }
        if (c != '\\') {
            *out += c;
            continue;
        }
        if (i >= text.size()) return false;
        char e = text[i++];
        switch (e) {
            case '"': *out += '"'; break;
            case '\\': *out += '\\'; break;
            case '/': *out += '/'; break;
            case 'b': *out += '\b'; break;
            case 'f': *out += '\f'; break;
            case 'n': *out += '\n'; break;
            case 'r': *out += '\r'; break;
            case 't': *out += '\t'; break;
            case 'u': {
                unsigned cp = 0;
                if (!Hex4(text, i, &cp)) return false;
                i += 4;
                if (cp >= 0xD800 && cp < 0xDC00 && i + 6 <= text.size() && text[i] == '\\' &&
                    text[i + 1] == 'u') {
                    unsigned low = 0;
                    if (Hex4(text, i + 2, &low) && low >= 0xDC00 && low < 0xE000) {
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                        i += 6;
                    }
                }
                AppendUtf8(*out, cp);
                break;
            }
            default: return false;
        }
    }
    return false;
}

class JsonReader {
public:
    explicit JsonReader(std::string_view text) : m_text(text) {}

    bool Value(Json* v) {
        Skip();
        if (m_pos >= m_text.size()) return false;
        char c = m_text[m_pos];
        if (c == '{') return Object(v);
        if (c == '[') return Array(v);
        if (c == '"') {
            v->m_kind = Json::Kind::String;
            return DecodeJsonString(m_text, &m_pos, &v->m_string);
        }
        if (Word("true")) return v->m_kind = Json::Kind::Bool, v->m_bool = true, true;
        if (Word("false")) return v->m_kind = Json::Kind::Bool, v->m_bool = false, true;
        if (Word("null")) return v->m_kind = Json::Kind::Null, true;
        std::string number;
        while (m_pos < m_text.size() && std::string_view("+-.eE0123456789").find(m_text[m_pos]) !=
                                            std::string_view::npos)
            number += m_text[m_pos++];
        if (number.empty()) return false;
        v->m_kind = Json::Kind::Number;
        v->m_number = std::strtod(number.c_str(), nullptr);
        return true;
    }

    bool AtEnd() {
        Skip();
        return m_pos == m_text.size();
    }

private:
    void Skip() {
        while (m_pos < m_text.size() && std::string_view(" \t\r\n").find(m_text[m_pos]) !=
                                            std::string_view::npos)
            ++m_pos;
    }
    bool Word(std::string_view w) {
        if (m_text.substr(m_pos, w.size()) != w) return false;
        m_pos += w.size();
        return true;
    }
    bool Object(Json* v) {
        v->m_kind = Json::Kind::Object;
        ++m_pos;
        Skip();
        if (m_pos < m_text.size() && m_text[m_pos] == '}') return ++m_pos, true;
        for (;;) {
            Skip();
            std::string key;
            if (!DecodeJsonString(m_text, &m_pos, &key)) return false;
            Skip();
            if (m_pos >= m_text.size() || m_text[m_pos] != ':') return false;
            ++m_pos;
            Json member;
            if (!Value(&member)) return false;
            v->m_members[key] = std::move(member);
            Skip();
            if (m_pos < m_text.size() && m_text[m_pos] == ',') {
                ++m_pos;
                continue;
            }
            if (m_pos < m_text.size() && m_text[m_pos] == '}') return ++m_pos, true;
            return false;
        }
    }
    bool Array(Json* v) {
        v->m_kind = Json::Kind::Array;
        ++m_pos;
        Skip();
        if (m_pos < m_text.size() && m_text[m_pos] == ']') return ++m_pos, true;
        for (;;) {
            Json item;
            if (!Value(&item)) return false;
            v->m_items.push_back(std::move(item));
            Skip();
            if (m_pos < m_text.size() && m_text[m_pos] == ',') {
                ++m_pos;
                continue;
            }
            if (m_pos < m_text.size() && m_text[m_pos] == ']') return ++m_pos, true;
            return false;
        }
    }

    std::string_view m_text;
    size_t m_pos = 0;
};

Json Json::Parse(std::string_view text) {
    Json v;
    JsonReader reader(text);
    if (!reader.Value(&v) || !reader.AtEnd()) {
        Json bad;
        bad.m_ok = false;
        return bad;
    }
    return v;
}

const Json& Json::operator[](const std::string& key) const {
    static const Json kNull;
    auto it = m_members.find(key);
    return it == m_members.end() ? kNull : it->second;
}

const Json& Json::operator[](size_t index) const {
    static const Json kNull;
    return index < m_items.size() ? m_items[index] : kNull;
}
