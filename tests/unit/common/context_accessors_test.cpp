#include "orvowizard/common/KxContextAccessors.h"

#include <gtest/gtest.h>

#include "orvowizard/common/KxFileUtilities.h"
#include "orvowizard/common/KxSessionAccessors.h"

namespace {

TEST(ContextAccessors, SessionValuesGoInUnderTheNameWithoutPrefix) {
    KxHttpSession session;
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

}  // namespace
