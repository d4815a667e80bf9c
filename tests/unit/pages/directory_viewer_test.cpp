#include "orvowizard/pages/KxHtmlDirectoryViewer.h"

#include "PageFixture.h"

namespace {

using DirectoryViewer = PageFixture<KxHtmlDirectoryViewer>;

TEST_F(DirectoryViewer, ListsTheHomesProjectsAndRemembersTheDirectory) {
    harness.home.mkdir("projects/calc");
    harness.home.mkdir("projects/tmp.codegen42");
    harness.home.mkdir("projects/tmp.projectgen");
    harness.home.mkdir("projects/old-tmp.codegen");
    harness.home.write("projects/notes.txt", "not a directory");
    ASSERT_TRUE(run({}).isValid());

    const std::string projects = harness.home.str() + "\\projects";
    EXPECT_EQ(text("rootDir"), projects);
    EXPECT_EQ(column("directories", "dir"), (Names{"calc", "old-tmp.codegen"}));
    EXPECT_EQ(getSessionString(*harness.session, "dir", "viewer"), projects);
    EXPECT_EQ(context->get("parent").getAttribute("dir").toString(), harness.home.str());

    run({{"dir", harness.home.str()}});
    run({});
    EXPECT_EQ(text("rootDir"), harness.home.str()) << "the directory of the previous request";
}

TEST_F(DirectoryViewer, RowsTellStatusErrorsWarningsAndWhetherLoadable) {
    harness.home.write("projects/a/errors.xml", "");
    harness.home.write("projects/b/errors.xml", "<Warning><message>w</message></Warning>");
    harness.home.write("projects/b/startup.properties", "type=server\n");
    harness.home.write("projects/c/demoProject.xml", "<p/>");
    harness.home.write("projects/c/startup.properties", "");
    harness.home.write("projects/d/errors.xml", "<Error/>");  // no "<Error>" text
    harness.home.mkdir("projects/e");
    run({});
    EXPECT_EQ(column("directories", "dir"), (Names{"a", "b", "c", "d", "e"}));
    EXPECT_EQ(column("directories", "hasStatus"), (Names{"true", "true", "true", "true", "false"}));
    EXPECT_EQ(column("directories", "hasWarnings"),
              (Names{"false", "true", "false", "false", "false"}));
    EXPECT_EQ(column("directories", "loadable"),
              (Names{"false", "true", "false", "false", "false"}));
}

}  // namespace
