// orvobase.h: where an XmlError says it happened, and how values are shown
// in messages.
// orvobase.h is included first, so that this file also shows it compiles on
// its own.
#include "generators/runtime/orvobase.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// what() carries the location as far as it is known; message() never does.
TEST(XmlError, WhatNamesTheLineAndColumnThatAreKnown) {
    struct Case {
        long line;
        long column;
        const char* what;
    };
    const Case cases[] = {
        {0, 0, "no such value"},
        {0, 7, "no such value"},  // a column without a line says nothing
        {3, 0, "line 3: no such value"},
        {3, 7, "line 3, column 7: no such value"},
    };
    for (const Case& c : cases) {
        const orvo::XmlError error("no such value", c.line, c.column);
        EXPECT_STREQ(error.what(), c.what);
        EXPECT_EQ(error.message(), "no such value");
        EXPECT_EQ(error.line(), c.line);
        EXPECT_EQ(error.column(), c.column);
    }
}

// Quoted values are cut after 40 bytes, never inside a UTF-8 sequence.
TEST(Messages, QuotedTextIsCutAtFortyBytesBetweenCharacters) {
    const std::string forty(40, 'a');
    const std::string e = "\xc3\xa9";  // one character, two bytes
    struct Case {
        std::string text;
        std::string quoted;
    };
    const Case cases[] = {
        {"", "''"},
        {forty, "'" + forty + "'"},
        {forty + "b", "'" + forty + "...'"},
        {std::string(39, 'a') + e + "b", "'" + std::string(39, 'a') + "...'"},
        {std::string(38, 'a') + e + "b", "'" + std::string(38, 'a') + e + "...'"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(orvo::detail::quote(c.text), c.quoted) << c.text;
    }
}

TEST(Messages, TrimRemovesXmlWhiteSpaceOnly) {
    EXPECT_EQ(orvo::detail::trim(" \t\r\nx y\n"), "x y");
    EXPECT_EQ(orvo::detail::trim(" \v\f "), "\v\f");  // not XML white space
    EXPECT_EQ(orvo::detail::trim(" \n "), "");
}

}  // namespace
