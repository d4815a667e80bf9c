// The runtime headers the generators carry into every project: orvoruntime.h
// gathers exactly the parts built in beside it, every part finds the files
// it includes among them, and each built-in text is the file in
// generators/runtime. (The behaviour of each part is tested in
// runtime_<part>_test.cpp.)
#include <gtest/gtest.h>

#include <cstddef>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "generators/emit/RuntimeHeaders.h"
#include "support/Files.h"

namespace {

using kx::gen::RuntimeFile;
using kx::gen::runtimeFiles;

// The files a header includes with quotes, in order.
std::vector<std::string> quotedIncludes(const std::string& text) {
    const std::string directive = "#include \"";
    std::vector<std::string> names;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with(directive)) {
            const std::size_t end = line.find('"', directive.size());
            names.push_back(line.substr(directive.size(), end - directive.size()));
        }
    }
    return names;
}

TEST(RuntimeHeaders, TheUmbrellaIncludesEveryPartInTheOrderTheyAreWritten) {
    const std::vector<RuntimeFile>& files = runtimeFiles();
    ASSERT_GT(files.size(), 1u);
    EXPECT_EQ(files.front().name, kx::gen::kRuntimeHeader);
    std::vector<std::string> parts;
    for (auto it = files.begin() + 1; it != files.end(); ++it) {
        parts.push_back(it->name);
    }
    EXPECT_EQ(quotedIncludes(files.front().text), parts);
}

// A part that includes a file the project does not receive would compile
// here, against the source tree, and fail in every generated project.
TEST(RuntimeHeaders, EveryPartIncludesOnlyPartsTheProjectReceives) {
    std::set<std::string> names;
    for (const RuntimeFile& file : runtimeFiles()) {
        EXPECT_TRUE(names.insert(file.name).second) << file.name << " is listed twice";
    }
    std::vector<RuntimeFile> all = runtimeFiles();
    all.push_back({kx::gen::kHttpHeader, kx::gen::httpHeaderText()});
    for (const RuntimeFile& file : all) {
        for (const std::string& included : quotedIncludes(file.text)) {
            EXPECT_TRUE(names.count(included) == 1 && included != file.name)
                << file.name << " includes " << included;
        }
    }
}

TEST(RuntimeHeaders, BuiltInTextsAreTheFilesOfTheSourceTree) {
    const std::string folder = std::string(KX_SOURCE_DIR) + "/generators/runtime/";
    for (const RuntimeFile& file : runtimeFiles()) {
        EXPECT_EQ(file.text, readFile(folder + file.name)) << file.name;
    }
    EXPECT_EQ(kx::gen::runtimeHeaderText(), readFile(folder + kx::gen::kRuntimeHeader));
    EXPECT_EQ(kx::gen::httpHeaderText(), readFile(folder + kx::gen::kHttpHeader));
}

}  // namespace
