#include "orvowizard/pages/KxStatusPage.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "PageFixture.h"
#include "platform/os/KxOs.h"

namespace {

class StatusPage : public PageFixture<KxStatusPage> {
  protected:
    const char* name() const override { return "status"; }

    // A project folder under the home's projects with these files.
    std::string project(const std::string& name, const std::string& properties,
                        std::initializer_list<const char*> files) {
        harness.home.write("projects/" + name + "/startup.properties", properties);
        for (const char* file : files) {
            harness.home.write("projects/" + name + "/" + file, "content");
        }
        return harness.home.str() + "\\projects\\" + name;
    }
};

TEST_F(StatusPage, SortsAServerProjectIntoItsGroups) {
    const std::string dir =
        project("calc", "type=server\nhtml=true\nprojectName=calc\n",
                {"CalcBase.h", "CalcBase.cpp", "CalcServletBase.h", "CalcServletBase.cpp",
                 "CalcSkeleton.cpp", "CalcLocal.cpp", "web.xml", "CalcServlet.cpp", "main.cpp",
                 "CalcClientProxy.cpp", "output.0.cpp", "notes.txt", "calc.dsp", "calc.vcproj"});
    harness.home.write("projects/calc/docs/datatypes/CalcBase.html", "<p/>");
    ASSERT_TRUE(run({{"dir", dir}, {"tier", "server"}}).isValid());

    EXPECT_EQ(column("serverfiles", "baseFile"),
              (Names{"CalcBase", "CalcLocal", "CalcServletBase", "CalcSkeleton", "web.xml"}));
    EXPECT_EQ(column("serverfiles", "sourceFile"),
              (Names{"", "CalcLocal.cpp", "CalcServletBase.cpp", "CalcSkeleton.cpp", "web.xml"}));
    EXPECT_EQ(column("serverfiles", "docFile")[0], "docs/CalcBase.html");
    EXPECT_EQ(column("samplefiles", "baseFile"), (Names{"CalcServlet", "main"}));
    EXPECT_EQ(column("clientfiles", "baseFile"), (Names{"CalcClientProxy"}));
    EXPECT_EQ(column("datafiles", "baseFile"), (Names{"CalcBase"}));
    EXPECT_EQ(column("datafiles", "docFile"), (Names{"docs/datatypes/CalcBase.html"}));
    EXPECT_EQ(column("msvc7", nullptr), (Names{"calc.vcproj"}));
    EXPECT_EQ(text("outputDir"), dir);
}

TEST_F(StatusPage, ClientAndFoundationProjectsSortTheirFilesTheirOwnWay) {
    const std::string dir = project("calc", "type=client\nhtml=false\n",
                                    {"CalcBase.h", "CalcLocal.cpp", "CalcSkeleton.cpp"});
    run({{"dir", dir}});
    EXPECT_EQ(column("serverfiles", "baseFile"), (Names{"CalcSkeleton"}));
    EXPECT_EQ(column("datafiles", "baseFile"), (Names{"CalcLocal"}));

    // A foundation project's docs are found by presence directly under docs.
    const std::string po =
        project("po", "type=foundation\nhtml=false\n", {"Order.cpp", "Item.cpp"});
    harness.home.write("projects/po/docs/Order.html", "<p/>");
    harness.home.write("projects/po/docs/Item.html", "");
    run({{"dir", po}});
    EXPECT_EQ(column("datafiles", "baseFile"), (Names{"Item", "Order"}));
    EXPECT_EQ(column("datafiles", "docFile"), (Names{"", "docs/Order.html"}));
}

TEST_F(StatusPage, WorkspacesComeFirstOnlyWhenMakeIsTrueAndTheyHaveContent) {
    const std::string dir =
        project("calc", "type=server\nmake=true\nprojectName=calc\n", {"a.dsp", "calc.sln"});
    harness.home.write("projects/calc/calc.dsw", "");
    run({{"dir", dir}});
    EXPECT_EQ(column("msvc6", nullptr), (Names{"a.dsp"}));
    EXPECT_FALSE(context->get("make").isValid()) << "no makefile in the folder";

    harness.home.write("projects/calc/makefile", "all:\n");
    harness.home.write("projects/calc/calc.dsw", "workspace");
    run({{"dir", dir}});
    EXPECT_EQ(column("msvc6", nullptr), (Names{"calc.dsw", "a.dsp"}));
    EXPECT_EQ(text("make"), "true");
}

// The commands to copy into a terminal: build, and run what the makefile
// can run; a folder name that a shell would split is quoted.
TEST_F(StatusPage, ProjectsWithAMakefileShowHowToBuildAndRunThem) {
    const std::string dir =
        project("my calc", "type=server\nmake=true\nprojectName=calc\n", {"Calc.cpp"});
    harness.home.write("projects/my calc/makefile", "all:\n");
    run({{"dir", dir}});
    const std::string folder = kx::os::nativePath(dir);
    EXPECT_EQ(text("nextSteps"), "cd '" + folder + "'\nmake\n");

    harness.home.write("projects/my calc/makefile", "CXX = g++\nPROGRAM = calc\nall:\nrun: all\n");
    run({{"dir", dir}});
    EXPECT_EQ(text("nextSteps"),
              "cd '" + folder + "'\nmake\nmake run        # then, in another terminal: ./calc\n");
}

TEST_F(StatusPage, ErrorMessageOfTheTierAndErrorsOfTheProject) {
    const std::string dir = project("calc", "type=server\nfilename=C:\\\\w\\\\calc.wsdl\n", {});
    harness.home.write("projects/calc/errors.xml", "<Error><message>bad</message></Error>");
    run({{"dir", dir}, {"tier", "server"}});
    EXPECT_EQ(text("filename"), "C:\\w\\calc.wsdl");
    EXPECT_EQ(column("errors", "message"), (Names{"bad"}));

    setSessionString(*harness.session, "errorMessage", "Missing filename", "server", false);
    run({{"tier", "server"}});
    EXPECT_EQ(text("errorMessage"), "Missing filename");
    EXPECT_EQ(text("outputDir"), "");
    EXPECT_FALSE(context->get("errors").isValid());
    EXPECT_EQ(getSessionString(*harness.session, "projectDir", "status"), dir)
        << "a request without dir keeps the last project";
}

TEST_F(StatusPage, FileModeServesFilesOfTheLastProjectWithTheirTypes) {
    const std::string dir = project("calc", "type=server\n", {"demoProject.xml"});
    harness.home.write("projects/calc/CalcBase.h", "class CalcBase;");
    harness.home.write("projects/calc/docs/index.html", "<h1>calc</h1>");
    harness.home.write("projects/calc/calc.zip",
                       "\x7f"
                       "ELF");
    run({{"dir", dir}});

    EXPECT_FALSE(run({}, "/CalcBase.h").isValid());
    EXPECT_EQ(body(), "class CalcBase;");
    run({}, "/docs/index.html");
    EXPECT_EQ(response.getContentType(), "text/html");
    EXPECT_EQ(body(), "<h1>calc</h1>");
    EXPECT_GE(response.getPayloadFile(), 0) << "files are streamed, not copied into memory";

    // Whatever a project holds is shown, never run as this application's
    // page, and what is neither page, picture nor text is a download.
    const auto sent = [this](KxCString name, KxCString value) {
        return std::ranges::count(response.getHeaders(), std::pair{name, value}) == 1;
    };
    EXPECT_TRUE(sent("Content-Security-Policy", "sandbox"));
    EXPECT_TRUE(sent("X-Content-Type-Options", "nosniff"));
    run({}, "/calc.zip");
    EXPECT_EQ(response.getContentType(), "application/octet-stream");
    EXPECT_TRUE(sent("Content-Disposition", "attachment; filename=\"calc.zip\""));

    // A missing file shows the page; a path climbing out is refused.
    EXPECT_TRUE(run({}, "/missing.cpp").isValid());
    EXPECT_FALSE(response.hasPayload());
    EXPECT_FALSE(run({}, "/../../secret").isValid());
    EXPECT_EQ(response.getStatus(), 404);
    EXPECT_FALSE(response.isRedirect());
}

TEST_F(StatusPage, FileModeFollowsNoLinkOutOfTheProjectAndReadsNoDevice) {
    const std::string dir =
        kx::os::nativePath(project("calc", "type=server\n", {"demoProject.xml"}));
    const std::string secret = harness.home.write("secret.txt", "the secret");
    const std::string inside = harness.home.write("projects/calc/inside.txt", "inside");
    harness.home.mkdir("elsewhere");
    harness.home.write("elsewhere/leak.txt", "the secret too");
    std::filesystem::create_symlink(secret, dir + "/link.txt");
    std::filesystem::create_directory_symlink(harness.home / "elsewhere", dir + "/sub");
    std::filesystem::create_symlink(inside, dir + "/alias.txt");
    std::filesystem::create_symlink("/dev/zero", dir + "/zero");
    ASSERT_EQ(::mkfifo((dir + "/fifo").c_str(), 0600), 0);
    run({{"dir", dir}});

    for (const char* path : {"/link.txt", "/sub/leak.txt", "/zero", "/fifo"}) {
        run({}, path);
        EXPECT_EQ(response.getStatus(), 404) << path;
        EXPECT_EQ(body().find("secret"), std::string::npos) << path;
    }
    run({}, "/alias.txt");
    EXPECT_EQ(body(), "inside") << "a link that stays inside the project is served";
}

TEST_F(StatusPage, FileModeServesTheDocumentationFromTheHomeOnly) {
    harness.home.write("docs/index.html", "<h1>Docs</h1>");
    harness.home.write("errors.xml", "<Error><message>x</message></Error>");
    harness.home.write("settings.txt", "private");
    run({}, "/docs/index.html");
    EXPECT_EQ(body(), "<h1>Docs</h1>");

    // The home shows its docs folder and nothing else, even when it looks
    // like a project.
    run({{"dir", harness.home.str()}});
    run({}, "/settings.txt");
    EXPECT_EQ(response.getStatus(), 404);
    EXPECT_EQ(body().find("private"), std::string::npos);
    run({}, "/docs/index.html");
    EXPECT_EQ(body(), "<h1>Docs</h1>");

    harness.home.mkdir("plain");
    run({{"dir", harness.home / "plain"}});
    run({}, "/docs/index.html");
    EXPECT_EQ(response.getRedirectLocation(), "/orvo/viewer") << "not a project, not the home";
}

}  // namespace
