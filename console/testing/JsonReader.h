// A strict reader of JSON text (RFC 8259) for the report tests: it refuses anything a JSON
// parser would refuse, and gives the document back as a tree to look things up in.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace console::testing {

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool flag = false;
    std::string number;  // the literal as written
    std::u16string text;
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> members;

    bool IsNull() const { return kind == Kind::Null; }
    // The member, or a null value when there is none.
    const JsonValue& operator[](const std::string& key) const {
        static const JsonValue kNull;
        auto it = members.find(key);
        return it == members.end() ? kNull : it->second;
    }
    const JsonValue& operator[](size_t i) const { return items.at(i); }
    long long Integer() const { return std::stoll(number); }
    std::string Ascii() const { return std::string(text.begin(), text.end()); }
};

class JsonReader {
public:
    // Parses the whole of text; on failure returns false with the offset and what is wrong.
    bool Read(const std::string& text, JsonValue& out, std::string& error) {
        s_ = &text;
        i_ = 0;
        error_.clear();
        Space();
        if (!Value(out, 0)) {
            error = error_;
            return false;
        }
        Space();
        if (i_ != text.size()) {
            error = Fail("text after the document");
            return false;
        }
        return true;
    }

private:
    std::string Fail(const std::string& what) {
        if (error_.empty()) error_ = "at " + std::to_string(i_) + ": " + what;
        return error_;
    }
    bool Bad(const std::string& what) {
        Fail(what);
        return false;
    }
    char Peek() const { return i_ < s_->size() ? (*s_)[i_] : '\0'; }
    bool At(char c) const { return i_ < s_->size() && (*s_)[i_] == c; }
    void Space() {
        while (At(' ') || At('\t') || At('\n') || At('\r')) ++i_;
    }
    bool Literal(const char* word) {
        const std::string w(word);
        if (s_->compare(i_, w.size(), w) != 0) return Bad("unknown word");
        i_ += w.size();
        return true;
    }

    bool Value(JsonValue& v, int depth) {
        if (depth > 64) return Bad("nested too deeply");
        switch (Peek()) {
            case '{':
                return Object(v, depth);
            case '[':
                return Array(v, depth);
            case '"':
                v.kind = JsonValue::Kind::String;
                return String(v.text);
            case 't':
                v.kind = JsonValue::Kind::Bool, v.flag = true;
                return Literal("true");
            case 'f':
                v.kind = JsonValue::Kind::Bool;
                return Literal("false");
            case 'n':
                v.kind = JsonValue::Kind::Null;
                return Literal("null");
        }
        v.kind = JsonValue::Kind::Number;
        return Number(v.number);
    }

    bool Object(JsonValue& v, int depth) {
        v.kind = JsonValue::Kind::Object;
        ++i_;
        Space();
        if (At('}')) return ++i_, true;
        for (;;) {
            Space();
            std::u16string key;
            if (!At('"') || !String(key)) return Bad("a member needs a string key");
            Space();
            if (!At(':')) return Bad("':' expected");
            ++i_;
            Space();
            const std::string name(key.begin(), key.end());
            if (v.members.count(name)) return Bad("member " + name + " twice");
            if (!Value(v.members[name], depth + 1)) return false;
            Space();
            if (At('}')) return ++i_, true;
            if (!At(',')) return Bad("',' or '}' expected");
            ++i_;
        }
    }

    bool Array(JsonValue& v, int depth) {
        v.kind = JsonValue::Kind::Array;
        ++i_;
        Space();
        if (At(']')) return ++i_, true;
        for (;;) {
            Space();
            v.items.emplace_back();
            if (!Value(v.items.back(), depth + 1)) return false;
            Space();
            if (At(']')) return ++i_, true;
            if (!At(',')) return Bad("',' or ']' expected");
            ++i_;
        }
    }

    static bool Digit(char c) { return c >= '0' && c <= '9'; }

    bool Number(std::string& out) {
        const size_t start = i_;
        if (At('-')) ++i_;
        if (At('0'))
            ++i_;
        else if (Digit(Peek()))
            while (Digit(Peek())) ++i_;
        else
            return Bad("a value expected");
        if (At('.')) {
            ++i_;
            if (!Digit(Peek())) return Bad("digits expected after '.'");
            while (Digit(Peek())) ++i_;
        }
        if (At('e') || At('E')) {
            ++i_;
            if (At('+') || At('-')) ++i_;
            if (!Digit(Peek())) return Bad("digits expected in the exponent");
            while (Digit(Peek())) ++i_;
        }
        out = s_->substr(start, i_ - start);
        return true;
    }

    bool Hex4(char16_t& unit) {
        unit = 0;
        for (int k = 0; k < 4; ++k, ++i_) {
            const char c = Peek();
            int d = Digit(c)               ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
            if (d < 0) return Bad("four hex digits expected after \\u");
            unit = static_cast<char16_t>(unit * 16 + d);
        }
        return true;
    }

    // Strings keep UTF-16 units; raw bytes above 0x7F are kept as they are.
    bool String(std::u16string& out) {
        ++i_;
        for (;;) {
            if (i_ >= s_->size()) return Bad("unterminated string");
            const auto c = static_cast<unsigned char>((*s_)[i_++]);
            if (c == '"') return true;
            if (c < 0x20) return Bad("a control character in a string");
            if (c != '\\') {
                out.push_back(c);
                continue;
            }
            const char e = Peek();
            ++i_;
            switch (e) {
                case '"':
                    out.push_back(u'"');
                    break;
                case '\\':
                    out.push_back(u'\\');
                    break;
                case '/':
                    out.push_back(u'/');
                    break;
                case 'b':
                    out.push_back(u'\b');
                    break;
                case 'f':
                    out.push_back(u'\f');
                    break;
                case 'n':
                    out.push_back(u'\n');
                    break;
                case 'r':
                    out.push_back(u'\r');
                    break;
                case 't':
                    out.push_back(u'\t');
                    break;
                case 'u': {
                    char16_t unit = 0;
                    if (!Hex4(unit)) return false;
                    out.push_back(unit);
                    break;
                }
                default:
                    return Bad("unknown escape");
            }
        }
    }

    const std::string* s_ = nullptr;
    size_t i_ = 0;
    std::string error_;
};

}  // namespace console::testing
