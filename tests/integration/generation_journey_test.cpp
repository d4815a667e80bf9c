// The wizards with the reference generators, through the real container:
// from the form to the status page, and a generated servlet project that
// builds and runs in a second container.
#include <filesystem>
#include <tuple>
#include <vector>

#include "support/ProductFixture.h"
#include "support/ScopedEnv.h"

namespace kxtest {
namespace {

class GenerationJourney : public ProductTest {
  protected:
    // The reference generators are found on PATH, as scripts/run.sh sets it.
    GenerationJourney() : path_("PATH", binaryDirectory() + ":" + std::getenv("PATH")) {}

    std::string projects() const { return home.str() + "\\projects"; }

    ScopedEnv path_;
};

TEST_F(GenerationJourney, TheStatusPageShowsTheGeneratedFilesOrTheErrorsWithLineAndColumn) {
    start();
    for (const auto& [project, form, expected] :
         std::vector<std::tuple<std::string, std::string, std::vector<std::string>>>{
             {"broken",
              "broken.wsdl",
              {"tns:PingOutput", "line 19, column 7", "class=\"badge warning\""}},
             {"calc",
              "calculator.wsdl&server=on&client=on&sample=on&html=on&make=on",
              {"CalculatorPortTypeSkeleton.cpp", "CalculatorPortTypeClientProxy.cpp",
               "Operands.cpp", "CalculatorPortTypeServlet.cpp", "calculator.wsdl"}}}) {
        const HttpResponse run = post(
            "/orvo/server", "oper=generate&projectName=" + project + "&projectDir=" + projects() +
                                "&filename=" + home.str() + "/examples/" + form);
        ASSERT_EQ(run.status, 302) << run.body;
        const HttpResponse status = get(location(run));
        ASSERT_EQ(status.status, 200);
        for (const std::string& text : expected) {
            EXPECT_NE(status.body.find(text), std::string::npos) << text << "\n" << status.body;
        }
    }
    // The files of the last project open from its status page (what must not open:
    // hostile_product_test.cpp).
    const HttpResponse source = get("/orvo/status/CalculatorPortTypeSkeleton.cpp");
    EXPECT_EQ(source.status, 200);
    EXPECT_EQ(source.header("Content-Type").rfind("text/plain", 0), 0u);
    EXPECT_NE(source.body.find("CalculatorPortTypeSkeleton"), std::string::npos);
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
