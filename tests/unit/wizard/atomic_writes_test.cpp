// The files the wizards write (startup.properties, the servlet project's
// sources and its description) are replaced as a whole: same content as
// ever, a new file in place of the old, nothing left behind, and the same
// outcome as always for a template that cannot be used or a target that
// cannot be written.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "WizardFixture.h"
#include "orvowizard/wizards/KxTavrinWizard.h"
#include "platform/servlet/KxProperties.h"

namespace {

namespace fs = std::filesystem;

ino_t inodeOf(const fs::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

// Names in the folder that are not a finished file: the temporary files of
// an atomic replacement end in ".kxtmp".
std::vector<std::string> leftovers(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.find(".kxtmp") != std::string::npos) {
            names.push_back(name);
        }
    }
    return names;
}

using AtomicStartupProperties = WizardFixture<>;

TEST_F(AtomicStartupProperties, AnOldFileIsReplacedByANewOneWithTheNewSettings) {
    harness.home.write("projects/demo/startup.properties", "type=server\nprojectName=old\n");
    const fs::path file = projectFolder("demo") / "startup.properties";
    const ino_t before = inodeOf(file);
    // A second name for the old file keeps its inode from being reused.
    fs::create_hard_link(file, projectFolder("demo") / "old.properties");

    auto form = generateForm("demo");
    form.emplace_back("type", "Save");
    const auto response = post(form);
    EXPECT_EQ(response.getRedirectLocation(),
              "viewer?dir=" + kx::urlEncoded(projectsDir() + "\\demo") + "&tier=server");

    KxProperties written;
    ASSERT_TRUE(written.load(file));
    EXPECT_EQ(written.get("projectName"), "demo");
    EXPECT_EQ(written.get("compiler"), "redhat-icc");
    EXPECT_NE(inodeOf(file), before) << "renamed into place, not rewritten in place";
    EXPECT_EQ(readFile(projectFolder("demo") / "old.properties"), "type=server\nprojectName=old\n");
    EXPECT_TRUE(leftovers(projectFolder("demo")).empty());
}

TEST_F(AtomicStartupProperties, ATargetThatCannotBeWrittenChangesNothingAndTheRunGoesOn) {
    // A folder where startup.properties should be: the file cannot be put
    // there, and, as before, that is no error of the page.
    harness.home.mkdir("projects/demo/startup.properties");
    harness.home.write("projects/demo/startup.properties/mine.txt", "kept");
    const auto response = post(generateForm("demo"));
    EXPECT_EQ(response.getRedirectLocation(),
              "status?dir=" + kx::urlEncoded(projectsDir() + "\\demo") + "&tier=server");
    EXPECT_EQ(readFile(projectFolder("demo") / "startup.properties" / "mine.txt"), "kept");
    EXPECT_TRUE(fs::exists(projectFolder("demo") / "invocation.txt")) << "the generator ran";
    EXPECT_TRUE(leftovers(projectFolder("demo")).empty());
}

// A wizard whose properties template does not exist.
class MissingTemplateWizard : public KxServerWizard {
  public:
    void writeProperties(const KxCString& path, KxContext& context) override {
        writeTemplateToFile(path, "no-such-template.tl", context);
    }
};

using AtomicWriteOfAnInvalidTemplate = WizardFixture<MissingTemplateWizard>;

TEST_F(AtomicWriteOfAnInvalidTemplate, LeavesAnEmptyFileAsBefore) {
    harness.home.write("projects/demo/startup.properties", "type=server\n");
    auto form = generateForm("demo");
    form.emplace_back("type", "Save");
    post(form);
    const fs::path file = projectFolder("demo") / "startup.properties";
    ASSERT_TRUE(fs::exists(file));
    EXPECT_EQ(fs::file_size(file), 0u);
    EXPECT_TRUE(leftovers(projectFolder("demo")).empty());
}

class AtomicTavrinFiles : public WizardFixture<KxTavrinWizard> {
  protected:
    AtomicTavrinFiles() : WizardFixture("tavrin") {}
};

TEST_F(AtomicTavrinFiles, SourcesAndTheDescriptionAreReplacedWithTheSameContent) {
    harness.home.write("projects/demo/demoProject.xml", "<old/>\n");
    harness.home.write("projects/demo/web.xml", "");
    const ino_t description = inodeOf(projectFolder("demo") / "demoProject.xml");
    fs::create_hard_link(projectFolder("demo") / "demoProject.xml",
                         projectFolder("demo") / "keep.xml");
    post({{"oper", "generate"},
          {"projectDir", projectsDir()},
          {"projectName", "demo"},
          {"servletName", "Hello"},
          {"sample", "on"},
          {"webxml", "on"}});
    const fs::path folder = projectFolder("demo");
    EXPECT_EQ(readFile(folder / "demoProject.xml"),
              "<tavrin:project xmlns:tavrin='http://schemas.orvowizard.org/tavrin' "
              "projectName='demo'>\n  <tavrin:file name='Hello'/>\n</tavrin:project>\n\n");
    EXPECT_NE(inodeOf(folder / "demoProject.xml"), description);
    EXPECT_EQ(readFile(folder / "keep.xml"), "<old/>\n");
    EXPECT_NE(readFile(folder / "web.xml").find("<servlet-name>Hello</servlet-name>"),
              std::string::npos);
    EXPECT_NE(readFile(folder / "Hello.cpp").find("#include \"Hello.h\""), std::string::npos);
    EXPECT_TRUE(leftovers(folder).empty());
}

}  // namespace
