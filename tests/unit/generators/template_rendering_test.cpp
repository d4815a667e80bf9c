// The generators' templates: an input value reaches a file only through the
// tool for where it lands, each tool escapes or refuses, and every build-file
// template renders a project of each shape.
#include <gtest/gtest.h>

#include "generators/emit/BuildFiles.h"
#include "generators/emit/TemplateRendering.h"
#include "platform/template/KxTemplate.h"

namespace kx::gen {
namespace {

KxCString render(const char* text, const KxCString& value) {
    return renderTemplateText(text, "test.tl", {{"v", inputText(value)}});
}

TEST(TemplateRendering, InputValuesAreWrittenOnlyThroughTheirTool) {
    const KxCString hostile =
        "a\"b<&>\n*/?"
        "?/";
    // Written raw, alone, in a string or as a list's item: refused.
    for (const char* text : {"x $v y", "$!v", "#set($s = \"<$v>\")$s"}) {
        EXPECT_THROW(render(text, hostile), TemplateValueError) << text;
    }
    EXPECT_THROW(renderTemplateText("#foreach($f in $list)$f#end", "test.tl",
                                    {{"list", inputTexts({"a", hostile})}}),
                 TemplateValueError);
    // A string built from it is an input value too: refused raw, escaped
    // whole by a tool.
    EXPECT_EQ(render("$cpp.literal(\"<$v>\")", "a\"b"), "\"<a\\\"b>\"");
    EXPECT_EQ(render("$cpp.comment(\"$v!\", \"  \")", "a\nb"), "  // a\n  // b!\n");
    // Tested and compared as text, it writes nothing and may be used freely.
    EXPECT_EQ(render("#if($v && $v != 'x')set#end", hostile), "set");

    const std::pair<const char*, KxCString> escaped[] = {
        {"$cpp.literal($v)", "\"a\\\"b<&>\\n*/\\?\\?/\""},
        {"$xml.attr($v)",
         "a&quot;b&lt;&amp;&gt;&#10;*/?"
         "?/"},
        {"$xml.comment($v)",
         "a&quot;b&lt;&amp;&gt;&#10;*/?"
         "?/"},
        {"$cpp.id($v)", "a_b_________"},
    };
    for (const auto& [text, expected] : escaped) {
        EXPECT_EQ(render(text, hostile), expected) << text;
    }
    EXPECT_EQ(render("$cpp.comment($v)", "one\ntwo */"), "// one\n// two * /\n");
    EXPECT_EQ(render("$xml.comment($v)", "a--b"), "a- -b");
}

TEST(TemplateRendering, BuildWordsAreCheckedNeverQuoted) {
    EXPECT_EQ(render("$build.word($v)", "lib-x_1.2+"), "lib-x_1.2+");
    EXPECT_EQ(render("$build.path($v)", "/opt/kx-1.0/lib"), "/opt/kx-1.0/lib");
    EXPECT_EQ(render("$build.windowsPath($v)", "sub/a.cpp"), ".\\sub\\a.cpp");
    for (const char* word : {"a b", "$(rm -rf ~)", "x;y", "a\nb", "-o", "q\"t"}) {
        EXPECT_THROW(render("$build.word($v)", word), TemplateValueError) << word;
    }
    EXPECT_THROW(render("$build.path($v)", "/opt/my folder"), TemplateValueError);
    EXPECT_THROW(render("$build.nothing($v)", "a"), TemplateValueError);
}

// Values that would hide a tool, unknown templates and templates that do
// not parse are faults of the generator, named.
TEST(TemplateRendering, GeneratorFaultsAreNamed) {
    EXPECT_THROW(renderTemplateText("$xml", "t.tl", {{"xml", kxcreateContextObject(true)}}),
                 std::logic_error);
    EXPECT_THROW(renderTemplate("no/such.tl", {}), std::logic_error);
    try {
        renderTemplateText("#if($a)", "broken.tl", {});
        FAIL() << "a template without its #end renders";
    } catch (const std::logic_error& error) {
        EXPECT_NE(KxCString(error.what()).find("broken.tl:1:8"), KxCString::npos) << error.what();
    }
}

// Each template built in parses, whether or not a test renders it.
TEST(TemplateRendering, EveryBuiltInTemplateParses) {
    KxTemplateFactory factory;
    KxCString fault;
    factory.setLogSink([&](const KxCString& line) { fault = line; });
    EXPECT_GE(templateNames().size(), 6u);
    for (std::string_view name : templateNames()) {
        EXPECT_TRUE(factory.parseText(KxCString(templateText(name)), KxCString(name)).isValid())
            << fault;
    }
}

// Every build-file template, for a static library with a program, a shared
// library of servlets and services, each with and without XML: rendered, the
// names where they belong, no reference left unrendered.
TEST(TemplateRendering, EveryBuildFileTemplateRendersEachProjectShape) {
    BuildProject library{"po",
                         "bindgen",
                         "redhat-gcc",
                         BuildProject::Kind::StaticLibrary,
                         {"Order.cpp", "main.cpp"},
                         {"Order.h", "orvoruntime.h"},
                         "",
                         "",
                         "",
                         "",
                         {}};
    BuildProject services{"calc",
                          "svcgen",
                          "msvc",
                          BuildProject::Kind::SharedLibrary,
                          {"Calc.cpp"},
                          {"Calc.h", "orvoruntime.h", "orvohttp.h"},
                          "/opt/kx/include",
                          "/opt/kx/lib",
                          "/opt/kx/bin/kxcontainer",
                          "8080",
                          {}};
    BuildProject servlets{"shop",
                          "prjforge",
                          "",
                          BuildProject::Kind::SharedLibrary,
                          {"PayServlet.cpp"},
                          {"PayServlet.h"},
                          "/opt/kx/include",
                          "/opt/kx/lib",
                          "",
                          "",
                          {}};
    for (const BuildProject& project : {library, services, servlets}) {
        const KxCString files[] = {makefileText(project), dswText(project), dspText(project),
                                   slnText(project), vcprojText(project)};
        for (const KxCString& file : files) {
            EXPECT_NE(file.find(project.name), KxCString::npos) << file;
            EXPECT_EQ(file.find("$build"), KxCString::npos) << file;
            EXPECT_EQ(file.find("$xml"), KxCString::npos) << file;
        }
        EXPECT_NE(files[0].find("\t" + project.sources.front()), KxCString::npos) << files[0];
        EXPECT_NE(files[4].find("RelativePath=\".\\" + project.headers.front() + "\""),
                  KxCString::npos)
            << files[4];
        EXPECT_EQ(files[0].find("libcurl") != KxCString::npos, project.name == "calc");
        EXPECT_EQ(files[0].find("run: $(LIBRARY)") != KxCString::npos, project.name == "calc");
        EXPECT_EQ(files[2].find("libxml2.lib") != KxCString::npos, project.name != "shop");
    }
}

}  // namespace
}  // namespace kx::gen
