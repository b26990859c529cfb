// A strict reader of JSON text, for checking what the programs print.
#pragma once

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace pmedian::testing {

struct JsonValue {
    enum class Kind { null, boolean, number, string, array, object };
    Kind kind = Kind::null;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> members;

    // The member of an object; throws when it is missing.
    const JsonValue& operator[](const std::string& name) const;
};

// Parses one JSON value that makes up the whole text (white space around it
// allowed); throws std::runtime_error on anything else.
JsonValue parse_json(const std::string& text);

}  // namespace pmedian::testing
