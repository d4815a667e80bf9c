#include "orvowizard/common/KxSessionAccessors.h"

#include <gtest/gtest.h>

#include "orvowizard/common/KxFileUtilities.h"
#include "platform/servlet/KxServletException.h"

namespace {

class AccessorsTest : public testing::Test {
  protected:
    KxHttpSession session{"test"};
    KxHttpServletRequest request;
};

TEST_F(AccessorsTest, KeysArePrefixAndNameWithNothingBetween) {
    setSessionString(session, "dir", "C:\\work", "viewer", false);
    setSessionBool(session, "make", true, "client");
    EXPECT_TRUE(session.getAttribute("viewerdir").isValid());
    EXPECT_EQ(getSessionString(session, "dir", "viewer"), "C:\\work");
    EXPECT_EQ(getSessionString(session, "dir", "browse"), "");
    EXPECT_TRUE(getSessionBool(session, "make", "client"));
    EXPECT_FALSE(getSessionBool(session, "make", "server"));
    setSessionString(session, "a", "\"x\"", "p", true);
    setSessionString(session, "b", "\"x\"", "p", false);
    EXPECT_EQ(getSessionString(session, "a", "p"), "x");
    EXPECT_EQ(getSessionString(session, "b", "p"), "\"x\"");
}

TEST_F(AccessorsTest, ReadingTheOtherTypeThrowsTheBadCastMessage) {
    setSessionBool(session, "make", true, "server");
    setSessionString(session, "projectDir", "x", "server", false);
    try {
        getSessionString(session, "make", "server");
        FAIL() << "a flag read as a string must throw";
    } catch (const KxServletException& error) {
        EXPECT_EQ(error.why(), "KxServletAttribute: bad cast exception.\n");
    }
    EXPECT_THROW(getSessionBool(session, "projectDir", "server"), KxServletException);
}

TEST_F(AccessorsTest, SanitizeTurnsTheSevenSeparatorsIntoSpaces) {
    setSessionString(session, "projectName", "a;b|c&d*e,f<g>h-i.j\"k\"\\l\xE9", "server", false);
    sanitizeSessionString(session, "projectName", "server");
    EXPECT_EQ(getSessionString(session, "projectName", "server"),
              "a b c d e f g h-i.j\"k\"\\l\xE9");
}

TEST_F(AccessorsTest, StringParameterIsCopiedOnlyWhenSent) {
    setSessionString(session, "outDir", "before", "server", false);
    readStringParameter(session, request, "outDir", "server");
    EXPECT_EQ(getSessionString(session, "outDir", "server"), "before");

    request.addParameter("outDir", "");
    readStringParameter(session, request, "outDir", "server");
    EXPECT_EQ(getSessionString(session, "outDir", "server"), "");
    EXPECT_TRUE(hasRequestParameter(request, "outDir"));
    EXPECT_FALSE(hasRequestParameter(request, "outdir"));
}

TEST_F(AccessorsTest, CheckboxIsTrueOnlyForOn) {
    const std::pair<const char*, bool> cases[] = {
        {"on", true}, {"ON", false}, {"", false}, {"true", false}, {"on ", false}};
    for (const auto& [value, expected] : cases) {
        KxHttpServletRequest form;
        form.addParameter("html", value);
        setSessionBool(session, "html", !expected, "server");
        readCheckboxParameter(session, form, "html", "server");
        EXPECT_EQ(getSessionBool(session, "html", "server"), expected) << "value " << value;
    }
    setSessionBool(session, "html", true, "server");
    readCheckboxParameter(session, request, "html", "server");  // absent
    EXPECT_FALSE(getSessionBool(session, "html", "server"));
}

TEST_F(AccessorsTest, PropertiesAreUnescapedAndFlagsAreTrueOrOne) {
    KxProperties properties;
    properties.loadFromText(
        "projectDir=C:\\\\work\\\\demo\nmake=true\nhtml=1\nstl=TRUE\nsample=yes\nmsvcproject=\n");
    readStringProperty(session, properties, "projectDir", "client");
    readStringProperty(session, properties, "outDir", "client");
    EXPECT_EQ(getSessionString(session, "projectDir", "client"), "C:\\work\\demo");
    EXPECT_EQ(getSessionString(session, "outDir", "client"), "");
    EXPECT_TRUE(session.getAttribute("clientoutDir").isValid());

    const std::pair<const char*, bool> flags[] = {{"make", true},         {"html", true},
                                                  {"stl", false},         {"sample", false},
                                                  {"msvcproject", false}, {"absent", false}};
    for (const auto& [key, expected] : flags) {
        readBoolProperty(session, properties, key, "client");
        EXPECT_EQ(getSessionBool(session, key, "client"), expected) << key;
    }
}

}  // namespace
