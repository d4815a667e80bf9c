// orvoclasses.h: the helpers the generated classes read and write their
// fields with.
// orvoclasses.h is included first, so that this file also shows it compiles
// on its own.
#include "generators/runtime/orvoclasses.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "RuntimeErrors.h"

// An enumeration as bindgen writes one: parse() and format() beside it in
// its own namespace, which the helpers must find.
namespace shop {

enum class Colour { Red, Green };

inline void parse(const std::string& text, Colour& value) {
    const std::string word = orvo::collapseWhiteSpace(text);
    if (word != "red" && word != "green") {
        throw orvo::XmlError(orvo::quoted(word) + " is not a colour");
    }
    value = word == "red" ? Colour::Red : Colour::Green;
}

inline std::string format(Colour value) {
    return value == Colour::Red ? "red" : "green";
}

}  // namespace shop

namespace {

using runtimetest::errorOf;

TEST(Fields, ValuesAreReadAndWrittenThroughTheOverloadsOfTheirType) {
    EXPECT_EQ(orvo::fromText<shop::Colour>(" green\n"), shop::Colour::Green);
    EXPECT_EQ(orvo::toText(shop::Colour::Red), "red");
    EXPECT_EQ(orvo::fromText<int>(" -42 "), -42);
    EXPECT_EQ(orvo::toText(2.5), "2.5");
    EXPECT_EQ(orvo::toText(orvo::Decimal(" 1.50 ")), "1.50");
    EXPECT_EQ(orvo::fromText<orvo::Date>("2024-02-29"), orvo::Date("2024-02-29"));
    const std::string text = "kept as it is";
    EXPECT_EQ(&orvo::toText(text), &text) << "a string is written without a copy";
}

TEST(Fields, CollapsedWhiteSpaceIsOneSpaceBetweenWords) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""}, {" \n\t ", ""}, {"a", "a"}, {"  a \t\n b  ", "a b"}, {"a  b\r\nc", "a b c"}};
    for (const auto& [text, collapsed] : cases) {
        EXPECT_EQ(orvo::collapseWhiteSpace(text), collapsed) << text;
    }
}

class ElementFields : public ::testing::Test {
  protected:
    const orvo::Document doc_ =
        orvo::Document::parse("<order xmlns='urn:shop'>\n  <note>abc</note>\n</order>");
    const orvo::Element order_ = doc_.root();
    const orvo::Element note_ = order_.firstChild();
};

TEST_F(ElementFields, AValueNotOfItsTypeIsAnErrorAtTheElementNamingIt) {
    int number = 7;
    const orvo::XmlError error = errorOf([&] { orvo::readValue(note_, note_.text(), number); });
    EXPECT_EQ(error.message(), "'abc' is not an integer in {urn:shop}note");
    EXPECT_EQ(error.line(), 2);
    EXPECT_EQ(number, 7);
    shop::Colour colour = shop::Colour::Red;
    EXPECT_EQ(errorOf([&] { orvo::readValue(note_, note_.text(), colour); }).message(),
              "'abc' is not a colour in {urn:shop}note");
    std::string text;
    orvo::readValue(note_, note_.text(), text);
    EXPECT_EQ(text, "abc");
}

TEST_F(ElementFields, EachItemOfAListIsChecked) {
    orvo::checkListItems<int>(note_, " 1\n 2  3 ");
    orvo::checkListItems<shop::Colour>(note_, "red green");
    orvo::checkListItems<int>(note_, "");
    EXPECT_EQ(errorOf([&] { orvo::checkListItems<int>(note_, "1 x 3"); }).message(),
              "'x' is not an integer in {urn:shop}note");
    EXPECT_EQ(errorOf([&] { orvo::checkListItems<shop::Colour>(note_, "red blue"); }).message(),
              "'blue' is not a colour in {urn:shop}note");
}

// A union's value must be of one of its member types, and tells which one:
// the first in order whose form it has.
TEST_F(ElementFields, AUnionValueIsOfOneOfItsMemberTypes) {
    orvo::checkUnion<int, shop::Colour>(note_, "green");
    orvo::checkUnion<int, shop::Colour>(note_, " 12 ");
    EXPECT_EQ(errorOf([&] { orvo::checkUnion<int, shop::Colour>(note_, "blue"); }).message(),
              "the value 'blue' in {urn:shop}note is of none of its union's member types");
    EXPECT_EQ((orvo::unionMember<int, shop::Colour>("12")), 0);
    EXPECT_EQ((orvo::unionMember<int, shop::Colour>("red")), 1);
    EXPECT_EQ((orvo::unionMember<int, shop::Colour>("blue")), -1);
    // A string member takes every value, so what it comes after wins.
    EXPECT_EQ((orvo::unionMember<shop::Colour, std::string>("red")), 0);
    EXPECT_EQ((orvo::unionMember<shop::Colour, std::string>("12")), 1);
}

// A QName's prefix is resolved where the value stands (the default
// namespace for none), and bound again where it is written.
TEST(QNames, ArePrefixesResolvedWhereReadAndDeclaredWhereWritten) {
    const orvo::Document doc = orvo::Document::parse(
        "<a xmlns='urn:a' xmlns:s='urn:s'><b xmlns:t='urn:t'>t:x</b><b>s:y</b><b>z</b>"
        "<b>u:w</b><b>:v</b></a>");
    orvo::Element b = doc.root().firstChild();
    const orvo::QName expected[] = {{"urn:t", "x", "t"}, {"urn:s", "y", "s"}, {"urn:a", "z", ""}};
    std::vector<orvo::QName> read;
    for (const orvo::QName& want : expected) {
        orvo::QName value;
        orvo::readValue(b, b.text(), value);
        EXPECT_EQ(value, want) << want.local;
        EXPECT_EQ(value.prefix, want.prefix) << want.local;
        read.push_back(value);
        b = b.nextSibling();
    }
    orvo::QName value;
    EXPECT_EQ(errorOf([&] { orvo::readValue(b, b.text(), value); }).message(),
              "the prefix u of the value 'u:w' in {urn:a}b is not declared");
    b = b.nextSibling();
    EXPECT_EQ(errorOf([&] { orvo::readValue(b, b.text(), value); }).message(),
              "the value ':v' in {urn:a}b is not a qualified name");

    orvo::Writer out;
    out.start("urn:a", "a");
    out.attribute("", "t", orvo::toText(out, read[0]));
    out.start("urn:a", "b");
    out.text(orvo::toText(out, read[0]));  // t is bound on a already
    out.end();
    out.start("urn:a", "b");
    out.text(orvo::toText(out, read[2]));  // the element's own namespace
    out.end();
    out.end();
    const orvo::Document written = orvo::Document::parse(out.str());
    const orvo::Element first = written.root().firstChild();
    orvo::QName again;
    orvo::readValue(first, first.text(), again);
    EXPECT_EQ(again, read[0]) << out.str();
    std::string attribute;
    ASSERT_TRUE(written.root().attribute("", "t", attribute));
    orvo::readValue(written.root(), attribute, again);
    EXPECT_EQ(again, read[0]) << out.str();
    orvo::readValue(first.nextSibling(), first.nextSibling().text(), again);
    EXPECT_EQ(again, read[2]) << out.str();
    EXPECT_EQ(out.str().find("xmlns:t"), out.str().rfind("xmlns:t"))
        << "declared once: " << out.str();
}

// A missing child is reported at the element found in its place, or at the
// parent when nothing follows.
TEST_F(ElementFields, AMissingChildIsReportedWhereItShouldHaveBeen) {
    const orvo::XmlError instead =
        errorOf([&] { orvo::lacksChild(order_, note_, "{urn:shop}item"); });
    EXPECT_EQ(instead.message(),
              "the element {urn:shop}order lacks its child {urn:shop}item (found "
              "{urn:shop}note in its place)");
    EXPECT_EQ(instead.line(), 2);
    const orvo::XmlError none =
        errorOf([&] { orvo::lacksChild(order_, note_.nextSibling(), "{urn:shop}item"); });
    EXPECT_EQ(none.message(), "the element {urn:shop}order lacks its child {urn:shop}item");
    EXPECT_EQ(none.line(), 1);
}

}  // namespace
