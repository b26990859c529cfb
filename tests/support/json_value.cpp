#include "json_value.hpp"

#include <cctype>
#include <cstdlib>

namespace pmedian::testing {

namespace {

class Parser {
public:
    explicit Parser(const std::string& text) : text_(text) {}

    JsonValue document() {
        JsonValue value = parse_value();
        skip_space();
        if (at_ != text_.size()) fail("text after the value");
        return value;
    }

private:
    [[noreturn]] void fail(const std::string& what) const {
        throw std::runtime_error("JSON: " + what + " at offset " + std::to_string(at_));
    }

    void skip_space() {
        while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_]))) ++at_;
    }

    bool take(char c) {
        skip_space();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }

    void expect(char c) {
        if (!take(c)) fail(std::string("expected '") + c + "'");
    }

    bool take_word(const std::string& word) {
        if (text_.compare(at_, word.size(), word) != 0) return false;
        at_ += word.size();
        return true;
    }

    std::string parse_string() {
        expect('"');
        std::string out;
        while (at_ < text_.size() && text_[at_] != '"') {
            if (static_cast<unsigned char>(text_[at_]) < 0x20) fail("control character in a string");
            if (text_[at_] == '\\') {
                if (++at_ >= text_.size() || std::string("\"\\/bfnrt").find(text_[at_]) == std::string::npos) {
                    fail("unsupported escape");
                }
            }
            out += text_[at_++];
        }
        if (at_ >= text_.size()) fail("unterminated string");
        ++at_;
        return out;
    }

    JsonValue parse_value() {
        skip_space();
        JsonValue value;
        if (at_ >= text_.size()) fail("missing value");
        const char c = text_[at_];
        if (c == '{') {
            value.kind = JsonValue::Kind::object;
            ++at_;
            if (take('}')) return value;
            do {
                skip_space();
                std::string name = parse_string();
                expect(':');
                if (!value.members.emplace(name, parse_value()).second) fail("repeated member " + name);
            } while (take(','));
            expect('}');
        } else if (c == '[') {
            value.kind = JsonValue::Kind::array;
            ++at_;
            if (take(']')) return value;
            do value.items.push_back(parse_value());
            while (take(','));
            expect(']');
        } else if (c == '"') {
            value.kind = JsonValue::Kind::string;
            value.text = parse_string();
        } else if (take_word("true")) {
            value.kind = JsonValue::Kind::boolean;
            value.boolean = true;
        } else if (take_word("false")) {
            value.kind = JsonValue::Kind::boolean;
        } else if (take_word("null")) {
            value.kind = JsonValue::Kind::null;
        } else {
            value.kind = JsonValue::Kind::number;
            value.number = parse_number();
        }
        return value;
    }

    // The JSON number grammar: -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
    double parse_number() {
        const std::size_t start = at_;
        auto digits = [&] {
            const std::size_t from = at_;
            while (at_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[at_]))) ++at_;
            return at_ - from;
        };
        if (at_ < text_.size() && text_[at_] == '-') ++at_;
        const std::size_t whole = at_;
        if (digits() == 0 || (text_[whole] == '0' && at_ - whole > 1)) fail("bad number");
        if (at_ < text_.size() && text_[at_] == '.') {
            ++at_;
            if (digits() == 0) fail("bad fraction");
        }
        if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
            ++at_;
            if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
            if (digits() == 0) fail("bad exponent");
        }
        return std::strtod(text_.substr(start, at_ - start).c_str(), nullptr);
    }

    const std::string& text_;
    std::size_t at_ = 0;
};

}  // namespace

const JsonValue& JsonValue::operator[](const std::string& name) const {
    const auto found = members.find(name);
    if (kind != Kind::object || found == members.end()) throw std::runtime_error("JSON: no member " + name);
    return found->second;
}

JsonValue parse_json(const std::string& text) { return Parser(text).document(); }

}  // namespace pmedian::testing
