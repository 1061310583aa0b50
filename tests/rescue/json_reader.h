// A small, strict JSON reader for checking the JSON report: every value, or nothing when the
// text is not well-formed JSON.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct Json {
    enum class Type { null, boolean, number, string, array, object };
    Type type = Type::null;
    bool boolean = false;
    double number = 0.0;
    std::string text;
    std::vector<Json> items;                           // an array's
    std::vector<std::pair<std::string, Json>> members; // an object's, in order

    /// The member of that name; a null value when there is none.
    const Json& operator[](const std::string& key) const;
    /// The keys of an object, in order.
    std::vector<std::string> keys() const;
};

/// Parses the whole of `text`; false when it is not exactly one well-formed JSON value.
bool parse_json(const std::string& text, Json& out);
