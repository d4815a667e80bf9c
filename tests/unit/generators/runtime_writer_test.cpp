// orvowriter.h: XML text written, and the values and calls it refuses.
// orvowriter.h is included first, so that this file also shows it compiles on
// its own.
#include "generators/runtime/orvowriter.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "RuntimeErrors.h"

namespace {

using runtimetest::errorOf;

TEST(Writer, RefusesCharactersXmlCannotHoldAndMisuse) {
    const char* const refused[] = {
        "\x01",    "a\x1f", "\xc3", "\xc0\x80", "\xed\xa0\x80", "\xef\xbf\xbf", "\xf4\x90\x80\x80",
        "\xe2\x82"};
    for (const char* value : refused) {
        orvo::Writer writer;
        writer.start("", "a");
        EXPECT_THROW(writer.attribute("urn:v", "v", value), orvo::XmlError) << value;
        EXPECT_THROW(writer.text(value), orvo::XmlError) << value;
        writer.end();
        EXPECT_EQ(writer.str(), "<a></a>") << "a refused value leaves nothing behind";
    }
    EXPECT_EQ(errorOf([] {
                  orvo::Writer writer;
                  writer.start("", "a");
                  writer.text("\x01");
              }).message(),
              "the value holds the character U+0001, which XML cannot hold");
    orvo::Writer writer;
    writer.start("", "a");
    EXPECT_THROW(writer.str(), std::logic_error);
    writer.text("x");
    EXPECT_THROW(writer.attribute("", "late", "1"), std::logic_error);
    writer.end();
    EXPECT_THROW(writer.end(), std::logic_error);
    EXPECT_EQ(writer.str(), "<a>x</a>");
}

}  // namespace
