// The XML layout for reading: lines, indentation, marked pieces, ill-formed text.
#include "platform/xml/KxXmlDisplay.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

std::string joined(const std::vector<kx::XmlDisplayToken>& tokens) {
    std::string text;
    for (const kx::XmlDisplayToken& token : tokens) {
        text += token.text;
    }
    return text;
}

TEST(XmlDisplay, OneElementPerLineAndTextStaysEscaped) {
    const auto tokens = kx::layOutXml(
        "<?xml version=\"1.0\"?><s:E xmlns:s=\"urn:s\"><s:B><r a=\"1 &amp; 2\">x &lt; y</r>"
        "<empty/><!-- note --></s:B></s:E>");
    ASSERT_TRUE(tokens);
    EXPECT_EQ(joined(*tokens),
              "<s:E xmlns:s=\"urn:s\">\n"
              "  <s:B>\n"
              "    <r a=\"1 &amp; 2\">x &lt; y</r>\n"
              "    <empty/>\n"
              "    <!-- note -->\n"
              "  </s:B>\n"
              "</s:E>");
    // Each kind of piece is marked, and neighbours of one kind are merged.
    std::vector<std::pair<std::string, std::string>> marked;
    for (const kx::XmlDisplayToken& token : *tokens) {
        marked.emplace_back(kx::displayClass(token.kind), token.text);
    }
    EXPECT_EQ(marked[0], (std::pair<std::string, std::string>{"tag", "<s:E"}));
    EXPECT_EQ(marked[2], (std::pair<std::string, std::string>{"attr", "xmlns:s"}));
    EXPECT_EQ(marked[4], (std::pair<std::string, std::string>{"value", "urn:s"}));
    const auto text = std::find_if(marked.begin(), marked.end(),
                                   [](const auto& piece) { return piece.second == "x &lt; y"; });
    ASSERT_NE(text, marked.end());
    EXPECT_EQ(text->first, "text");
    // Whitespace between elements is laid out again.
    const auto spaced = kx::layOutXml("<a>\n\n      <b>1</b>   <c>\n</c>\n</a>\n");
    ASSERT_TRUE(spaced);
    EXPECT_EQ(joined(*spaced), "<a>\n  <b>1</b>\n  <c></c>\n</a>");
}

TEST(XmlDisplay, WhatIsNotWellFormedIsNotLaidOut) {
    EXPECT_FALSE(kx::layOutXml("<a><b></a>"));
    EXPECT_FALSE(kx::layOutXml("plain text"));
    EXPECT_FALSE(kx::layOutXml(""));
    EXPECT_FALSE(kx::layOutXml(std::string(200, '<')));
    // Too many attributes on one tag for libxml2's quadratic check.
    std::string crowded = "<a";
    for (int i = 0; i < 1001; ++i) {
        crowded += " b" + std::to_string(i) + "=''";
    }
    EXPECT_FALSE(kx::layOutXml(crowded + "/>"));
    EXPECT_TRUE(kx::layOutXml(crowded.substr(0, crowded.rfind(' ')) + "/>"));
    // Entities are neither loaded nor expanded.
    const auto tokens =
        kx::layOutXml("<!DOCTYPE a [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><a>&e;</a>");
    ASSERT_TRUE(tokens);
    EXPECT_EQ(joined(*tokens), "<a>&e;</a>");
}

}  // namespace
