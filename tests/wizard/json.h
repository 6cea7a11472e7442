// Just enough JSON to read drovan-machine --json: values, arrays, objects, strings with
// their escapes. A malformed text gives a null value and ok() false.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class Json {
public:
    enum class Kind { Null, Bool, Number, String, Array, Object };

    static Json Parse(std::string_view text);

    Kind kind() const { return m_kind; }
    bool ok() const { return m_ok; }
    bool IsNull() const { return m_kind == Kind::Null; }
    bool AsBool() const { return m_bool; }
    double AsNumber() const { return m_number; }
    const std::string& AsString() const { return m_string; }
    const std::vector<Json>& Items() const { return m_items; }
    size_t size() const { return m_kind == Kind::Object ? m_members.size() : m_items.size(); }
    // A member of an object, or a null value.
    const Json& operator[](const std::string& key) const;
    const Json& operator[](size_t index) const;
    bool Has(const std::string& key) const { return m_members.count(key) != 0; }

private:
    friend class JsonReader;
    Kind m_kind = Kind::Null;
    bool m_ok = true;
    bool m_bool = false;
    double m_number = 0;
    std::string m_string;
    std::vector<Json> m_items;
    std::map<std::string, Json> m_members;
};

// Decodes a JSON string literal that starts at text[*pos] (the opening quote) into UTF-8;
// *pos ends after the closing quote. False for a malformed literal.
bool DecodeJsonString(std::string_view text, size_t* pos, std::string* out);

// Appends a Unicode code point to a UTF-8 string.
void AppendUtf8(std::string& out, unsigned codePoint);
