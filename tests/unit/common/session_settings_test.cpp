// The session's settings as a page's context source: read when the page
// first uses them, once per request, shown as the session holds them.
#include <gtest/gtest.h>

#include <memory>

#include "orvowizard/common/KxSessionAccessors.h"
#include "orvowizard/common/KxSessionSettings.h"
#include "platform/servlet/KxServletException.h"
#include "platform/template/KxTemplate.h"

namespace {

class SessionSettingsTest : public testing::Test {
  protected:
    SessionSettingsTest() {
        setSessionString(session, "projectDir", "C:\\work & <more>", "server", false);
        setSessionString(session, "outDir", "out", "server", false);
        setSessionBool(session, "make", true, "server");
        setSessionBool(session, "ssl", false, "server");
    }

    // A context whose source shows the server wizard's settings of the test.
    KxSessionSettings& attach(KxContext& context) {
        auto source = std::make_unique<KxSessionSettings>(session, "server");
        KxSessionSettings& settings = *source;
        for (const char* text : {"projectDir", "outDir", "projectName"}) {
            settings.addText(text);
        }
        for (const char* flag : {"make", "ssl", "html"}) {
            settings.addFlag(flag);
        }
        context.setSource(std::move(source));
        return settings;
    }

    KxCString render(const KxCString& text, KxContext& context) {
        KxCString out;
        factory.parseText(text).render(out, context, KxTemplate::Escaping::Html);
        return out;
    }

    KxHttpSession session{"test"};
    KxTemplateFactory factory;
};

TEST_F(SessionSettingsTest, EachSettingShowsAsTheSessionHoldsItAndAbsentOnesReadEmpty) {
    struct Case {
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"$projectDir", "C:\\work &amp; &lt;more&gt;"},
        {"$outDir", "out"},
        {"[$projectName]", "[]"},  // never stored: the empty text
        {"$make $ssl $html", "true false false"},
        {"#if($make && !$html)yes#end", "yes"},
        {"$unknown", "$unknown"},  // not a setting: absent
        {"$!serverprojectDir", ""},
    };
    for (const Case& c : cases) {
        KxContext context;
        attach(context);
        EXPECT_EQ(render(c.text, context), c.expected) << c.text;
    }
}

TEST_F(SessionSettingsTest, ASettingIsReadOnFirstUseAndOnceOnly) {
    KxContext context;
    KxSessionSettings& settings = attach(context);
    EXPECT_EQ(settings.readCount(), 0u);
    EXPECT_EQ(render("$outDir/$outDir #if($outDir)x#end", context), "out/out x");
    EXPECT_EQ(settings.readCount(), 1u);
    // Within the request a value read stays as it was read.
    setSessionString(session, "outDir", "changed", "server", false);
    EXPECT_EQ(render("$outDir $make", context), "out true");
    EXPECT_EQ(settings.readCount(), 2u);

    // The next request's context sees the session as it is then.
    KxContext next;
    attach(next);
    EXPECT_EQ(render("$outDir", next), "changed");
}

TEST_F(SessionSettingsTest, PutValuesComeFirstAndTheNextContextAfter) {
    KxContext page;
    attach(page);
    page.put("outDir", "put");
    KxContext file;
    file.setNextContext(&page);
    file.put("make", "file");
    EXPECT_EQ(render("$outDir $make $ssl", file), "put file false");
    EXPECT_EQ(file.get("projectDir").toString(), "C:\\work & <more>");
    EXPECT_FALSE(file.get("nothing").isValid());
}

TEST_F(SessionSettingsTest, NamesWithEqualHashesButOtherTextAreNotMixedUp) {
    KxContext context;
    KxSessionSettings& settings = attach(context);
    context.put("projectName", "put");
    for (const char* name : {"outDir", "projectName"}) {
        const KxContextKey real(name);
        ASSERT_TRUE(context.get(real).isValid()) << name;
        for (const char* other : {"outdir", "outDir ", "make", "projectname", ""}) {
            if (KxCString(other) == name) {
                continue;
            }
            const KxContextKey forged(other, real.hash);
            EXPECT_FALSE(real.matches(forged.name, forged.hash)) << other;
            EXPECT_FALSE(settings.find(forged).isValid()) << name << " / " << other;
            EXPECT_FALSE(context.get(forged).isValid()) << name << " / " << other;
        }
    }
}

TEST_F(SessionSettingsTest, ASettingStoredWithTheOtherTypeThrowsWhenRead) {
    setSessionBool(session, "outDir", true, "server");
    setSessionString(session, "ssl", "text", "server", false);
    KxContext context;
    KxSessionSettings& settings = attach(context);
    EXPECT_THROW(settings.find(KxContextKey("outDir")), KxServletException);
    EXPECT_THROW(settings.find(KxContextKey("ssl")), KxServletException);
    EXPECT_EQ(settings.find(KxContextKey("make")).toString(), "true");
}

}  // namespace
