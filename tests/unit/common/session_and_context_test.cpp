// Session values under a page's prefix, the request and properties read into
// them, the context they are shown from, and the records a template lists.
#include <gtest/gtest.h>

#include <vector>

#include "orvowizard/common/KxContextAccessors.h"
#include "orvowizard/common/KxContextAdapters.h"
#include "orvowizard/common/KxFieldChecks.h"
#include "orvowizard/common/KxFileUtilities.h"
#include "orvowizard/common/KxSessionAccessors.h"
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

// The seven separators become spaces; a setting may be as long as its limit.
TEST_F(AccessorsTest, SanitizeAndTheLengthLimitOfASetting) {
    setSessionString(session, "projectName", "a;b|c&d*e,f<g>h-i.j\"k\"\\l\xE9", "server", false);
    sanitizeSessionString(session, "projectName", "server");
    EXPECT_EQ(getSessionString(session, "projectName", "server"),
              "a b c d e f g h-i.j\"k\"\\l\xE9");
    EXPECT_EQ(checkSettingText("projectName", KxCString(kMaxSettingLength, 'a')), "");
    EXPECT_EQ(checkSettingText("projectName", KxCString(kMaxSettingLength + 1, 'a')),
              "The setting projectName is longer than 4096 characters");
}

TEST_F(AccessorsTest, StringParameterIsCopiedOnlyWhenSentAndACheckboxIsTrueOnlyForOn) {
    setSessionString(session, "outDir", "before", "server", false);
    readStringParameter(session, request, "outDir", "server");
    EXPECT_EQ(getSessionString(session, "outDir", "server"), "before");
    request.addParameter("outDir", "");
    readStringParameter(session, request, "outDir", "server");
    EXPECT_EQ(getSessionString(session, "outDir", "server"), "");
    EXPECT_TRUE(hasRequestParameter(request, "outDir"));
    EXPECT_FALSE(hasRequestParameter(request, "outdir"));

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

TEST_F(AccessorsTest, SessionValuesGoIntoTheContextUnderTheNameWithoutPrefix) {
    setSessionString(session, "projectName", "demo", "server", false);
    setSessionBool(session, "html", true, "server");
    KxContext context;
    putSessionString(context, session, "projectName", "server");
    putSessionBool(context, session, "html", "server");
    putSessionString(context, session, "outDir", "server");
    putSessionBool(context, session, "stl", "server");

    EXPECT_EQ(getContextString(context, "projectName"), "demo");
    EXPECT_FALSE(context.get("serverprojectName").isValid());
    EXPECT_EQ(context.get("html").getType(), KxContextObject::kBoolean);
    EXPECT_TRUE(getContextBool(context, "html"));
    EXPECT_TRUE(context.get("outDir").isValid());
    EXPECT_EQ(getContextString(context, "outDir"), "");
    EXPECT_EQ(context.get("stl").getType(), KxContextObject::kBoolean);
    EXPECT_FALSE(getContextBool(context, "stl"));
}

TEST(ContextAccessors, EscapedBackslashesGoIntoTheNearContextAndUnescapeBack) {
    const KxCString path = "C:\\work\\\\share\\x\\";
    KxContext page;
    page.put("projectDir", path);
    KxContext properties;
    properties.setNextContext(&page);

    escapeContextBackslashes(properties, "projectDir");
    escapeContextBackslashes(properties, "outDir");
    EXPECT_EQ(getContextString(properties, "projectDir"), "C:\\\\work\\\\\\\\share\\\\x\\\\");
    EXPECT_EQ(getContextString(page, "projectDir"), path);  // the page keeps its own
    EXPECT_TRUE(properties.containsLocally("outDir"));
    EXPECT_EQ(getContextString(properties, "outDir"), "");
    EXPECT_EQ(unescapeBackslashes(getContextString(properties, "projectDir")), path);
}

TEST(ContextAdapters, ListsEnumerateInAppendOrderAndRecordsAnswerTheirNamesTyped) {
    KxRecordList<DirectoryData> rows;
    auto tail = rows.before_begin();
    for (const char* dir : {"demo", "calc", "alpha"}) {
        tail = appendRecord(rows, tail, DirectoryData{dir, true, false, false, false});
    }
    const KxContextObject list = kxcreateContextObject(rows);
    for (int pass = 0; pass < 2; ++pass) {  // each enumeration starts afresh
        std::vector<KxCString> dirs;
        for (auto e = list.getAsEnumeration(); e.hasMoreElements();) {
            dirs.push_back(e.nextElement().getAttribute("dir").toString());
        }
        EXPECT_EQ(dirs, (std::vector<KxCString>{"demo", "calc", "alpha"}));
    }
    EXPECT_EQ(list.invokeMethod("entries", {}).toLong(), 3);
    EXPECT_FALSE(list.invokeMethod("size", {}).isValid());  // only "entries" is known

    DirectoryData dir{"C:\\work\\demo", true, true, false, true};
    const KxContextObject row = kxcreateContextObject(dir);
    dir.dir = "changed after the value was made";
    EXPECT_EQ(row.getAttribute("dir").toString(), "C:\\work\\demo");
    EXPECT_FALSE(row.getAttribute("Dir").isValid());
    EXPECT_EQ(row.getAttribute("loadable").getType(), KxContextObject::kBoolean);
    const KxContextObject error =
        kxcreateContextObject(XmlError{false, "unused part", 7, 12, "a.wsdl", "", ""});
    EXPECT_EQ(error.getAttribute("line").getType(), KxContextObject::kLong);
    EXPECT_EQ(error.getAttribute("line").toString(), "12");
    EXPECT_EQ(error.getAttribute("column").toLong(), 7);
}

}  // namespace
