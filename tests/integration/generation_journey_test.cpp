// The wizards with the reference generators, through the real container:
// from the form to the status page, and a generated servlet project that
// builds and runs in a second container.
#include <filesystem>

#include "support/ProductFixture.h"
#include "support/ScopedEnv.h"

namespace kxtest {
namespace {

class GenerationJourney : public ProductTest {
  protected:
    // The reference generators are found on PATH, as scripts/run.sh sets it.
    GenerationJourney() : path_("PATH", binaryDirectory() + ":" + std::getenv("PATH")) {}

    std::string projects() const { return home.str() + "\\projects"; }
    std::string example(const std::string& name) const { return home.str() + "/examples/" + name; }

    ScopedEnv path_;
};

TEST_F(GenerationJourney, ServerProjectShowsItsGroupedFilesAndOpensThem) {
    start();
    const HttpResponse run =
        post("/orvo/server", "oper=generate&projectName=calc&projectDir=" + projects() +
                                 "&filename=" + example("calculator.wsdl") +
                                 "&server=on&client=on&sample=on&html=on&make=on");
    ASSERT_EQ(run.status, 302) << run.body;
    const HttpResponse status = get(location(run));
    ASSERT_EQ(status.status, 200);
    for (const char* expected :
         {"CalculatorPortTypeSkeleton.cpp", "CalculatorPortTypeClientProxy.cpp", "Operands.cpp",
          "CalculatorPortTypeServlet.cpp", "calculator.wsdl"}) {
        EXPECT_NE(status.body.find(expected), std::string::npos) << expected;
    }
    const HttpResponse source = get("/orvo/status/CalculatorPortTypeSkeleton.cpp");
    EXPECT_EQ(source.status, 200);
    EXPECT_EQ(source.header("Content-Type").rfind("text/plain", 0), 0u);
    EXPECT_NE(source.body.find("CalculatorPortTypeSkeleton"), std::string::npos);
    const HttpResponse outside = get("/orvo/status/..%2F..%2Fstartup.properties");
    EXPECT_GE(outside.status, 400);
    EXPECT_LT(outside.status, 500);
}

TEST_F(GenerationJourney, BrokenWsdlShowsItsErrorsWithLineAndColumn) {
    start();
    const HttpResponse run =
        post("/orvo/server", "oper=generate&projectName=broken&projectDir=" + projects() +
                                 "&filename=" + example("broken.wsdl"));
    ASSERT_EQ(run.status, 302);
    const HttpResponse status = get(location(run));
    EXPECT_NE(status.body.find("tns:PingOutput"), std::string::npos) << status.body;
    EXPECT_NE(status.body.find("line 19, column 7"), std::string::npos);
    EXPECT_NE(status.body.find("class=\"badge warning\""), std::string::npos);
}

TEST_F(GenerationJourney, AGeneratedServletProjectBuildsAndRunsInKxcontainer) {
    start();
    const HttpResponse run =
        post("/orvo/tavrin", "oper=generate&projectName=greeter&projectDir=" + projects() +
                                 "&servletName=Greeter&sample=on&webxml=on&make=on");
    ASSERT_EQ(run.status, 302) << run.body;
    const auto project = home.path() / "projects" / "greeter";
    ASSERT_TRUE(std::filesystem::exists(project / "makefile"));

    ScopedEnv noInherit("MAKEFLAGS", "");
    const std::string build =
        "make -C " + project.string() + " > " + (project / "build.log").string() + " 2>&1";
    ASSERT_EQ(std::system(build.c_str()), 0) << readFile((project / "build.log").string());
    ASSERT_TRUE(std::filesystem::exists(project / "libgreeter.so"));

    // A second container serves the generated servlet with its own web.xml.
    ScratchDir servletApp;
    std::filesystem::create_directories(servletApp.path() / "WEB-INF");
    std::filesystem::copy_file(project / "web.xml", servletApp.path() / "WEB-INF" / "web.xml");
    ContainerProcess second;
    second.setLibraryDirectory(project.string());
    ASSERT_TRUE(second.start(servletApp.str())) << second.failure();
    const HttpResponse greeting = second.get("/orvo/");
    EXPECT_EQ(greeting.status, 200);
    EXPECT_NE(greeting.body.find("<h1>Hello from Greeter</h1>"), std::string::npos)
        << greeting.body;
}

}  // namespace
}  // namespace kxtest
