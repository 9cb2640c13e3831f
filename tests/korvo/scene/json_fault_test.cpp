#include "korvo/scene/scene_json_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace korvo {
namespace {

// The refusal of `text` as the checker has always named it: the parser's own reason, at
// the line and column of the byte before its count of bytes read; "" when it accepts the text.
std::string parserMessage(const std::string& text) {
    try {
        const nlohmann::json parsed = nlohmann::json::parse(text);
        return "";
    } catch (const nlohmann::json::parse_error& e) {
        const std::string what = e.what();
        const std::string reason = what.substr(what.find(": ", what.find("column ")) + 2);
        const size_t index = e.byte > 0 ? e.byte - 1 : 0;
        const size_t line = 1 + size_t(std::count(text.begin(), text.begin() + long(index), '\n'));
        const size_t lineStart = text.rfind('\n', index == 0 ? 0 : index - 1);
        const size_t column = lineStart == std::string::npos || index == 0 ? index + 1 : index - lineStart;
        return "bad.json: line " + std::to_string(line) + ", column " + std::to_string(column) +
               ": malformed JSON: " + reason;
    }
}

std::string faultOfFile(const std::string& text) {
    std::FILE* file = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), file);
    const std::string fault = jsonFault(file, "bad.json");
    std::fclose(file);
    return fault;
}

// The checker names a syntax error by reading only the stretch before it again: the
// message must be the one a full parse gives, whatever comes before the fault (nesting,
// numbers and strings whose text the message quotes, literals only, a long prefix across
// the file reader's chunks) and whatever the fault is.
TEST(JsonFault, SyntaxErrorsAreNamedAsByAFullParse) {
    std::string manyNumbers = "[";
    for (int i = 0; i < 200000; ++i) manyNumbers += "12.5, ";  // past the file reader's first 1 MiB
    const std::vector<std::string> prefixes = {
        "",
        "{\"a\": ",
        "{\"a\": 1, ",
        "{\"a\": 1",
        "[1, 2, ",
        "[1, 2",
        "[[[[{\"k\": [",
        "[[[[{\"k\": [1, \"s\"]}, ",
        "{\"a\": [1.5, \"s\", true, null, {\"b\": []}, ",
        "[true, false, null, [], {}, ",
        "{\"a\": \"x\"} ",
        "{\"\": [{\"\": 1}], \"b\": {\"c\": [[2], 3]}, ",
        "{\"points\": [[1, 2, 3], [4.5, -6, 7e2], ",
        "[[1, 2], [3, 4]] ",
        manyNumbers + "\"tail\", [true, ",
    };
    const std::vector<std::string> faults = {
        "x",     "tru",  "-",    "1.",    "01",    "1e",    "\"abc", "\"\\u12\"", "\"\\q\"", "\"a\x01b\"",
        "}",     "]",    ",",    ":",     "\"k\" 1", "1 2", "[1 2]", "{\"k\" \"v\"}", "{,}", "[,]",
        "{\"k\":1,}", "[1,]", "\xff", "\"\xc3\"", "", "]]]]", "}}}}", "\"k\": }", "1]}", "\n\n  x",
    };
    int checked = 0;
    for (const std::string& prefix : prefixes) {
        const bool longPrefix = prefix.size() > 100000;
        for (const std::string& fault : faults) {
            if (longPrefix && fault.size() > 1) continue;  // a few faults are enough there
            const std::string text = prefix + fault;
            const std::string expected = parserMessage(text);
            ASSERT_EQ(jsonFault(text, "bad.json"), expected) << "prefix " << prefix.substr(0, 40) << ", fault " << fault;
            if (longPrefix) {
                ASSERT_EQ(faultOfFile(text), expected) << "fault " << fault;
            }
            checked += !expected.empty();
        }
    }
    EXPECT_GT(checked, 350);
}

}  // namespace
}  // namespace korvo
