#pragma once
// A scratch project directory for running the generators the way the wizards
// do: startup.properties written there, the command line run there with its
// output in orvowizard.txt, and errors.xml read back as the status page reads it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "generators/emit/RuntimeHeaders.h"
#include "platform/os/KxCommand.h"
#include "platform/os/KxOs.h"
#include "platform/xml/KxXmlReader.h"
#include "support/Files.h"
#include "support/ScratchDir.h"

namespace gentest {

namespace fs = std::filesystem;

// A built program: in KX_TEST_BIN_DIR, or beside the test program.
inline std::string tool(const std::string& name) {
    const char* bin = std::getenv("KX_TEST_BIN_DIR");
    return bin != nullptr ? std::string(bin) + "/" + name
                          : (fs::read_symlink("/proc/self/exe").parent_path() / name).string();
}

// The names of orvoruntime.h and its parts, which every project with data
// classes receives, sorted.
inline std::vector<std::string> runtimeHeaderNames() {
    std::vector<std::string> names;
    for (const kx::gen::RuntimeFile& file : kx::gen::runtimeFiles()) {
        names.push_back(file.name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

inline std::string example(const std::string& name) {
    return std::string(KX_SOURCE_DIR) + "/home/examples/" + name;
}

// The 1-based line and column where the text first appears in the file.
inline std::pair<long, long> positionOf(const std::string& path, const std::string& text) {
    std::istringstream lines(readFile(path));
    std::string line;
    for (long number = 1; std::getline(lines, line); ++number) {
        if (const auto found = line.find(text); found != std::string::npos) {
            return {number, static_cast<long>(found) + 1};
        }
    }
    return {0, 0};
}

struct ErrorRecord {
    bool isError = true;
    std::string message;
    long line = -1;  // -1 when the location has no such attribute
    long column = -1;
    std::string publicId;
    std::string systemId;
};

inline std::ostream& operator<<(std::ostream& out, const ErrorRecord& record) {
    return out << (record.isError ? "Error" : "Warning") << " '" << record.message << "' at "
               << record.line << ":" << record.column << " in " << record.publicId;
}

// Reads errors.xml text (elements without a root) with the platform's XML reader.
inline std::vector<ErrorRecord> parseErrorFile(const std::string& text) {
    std::vector<ErrorRecord> records;
    KxXmlReader reader("<errors>" + text + "</errors>");
    const auto valueOf = [&](const char* element, std::string& value) {
        if (reader.isElementNext(element)) {
            reader.readElementStart(element);
            value = reader.readElementValue();
            reader.readElementEnd(element);
        }
    };
    reader.readElementStart("errors");
    while (reader.isElementNext("Error") || reader.isElementNext("Warning")) {
        ErrorRecord record;
        record.isError = reader.isElementNext("Error");
        const char* element = record.isError ? "Error" : "Warning";
        reader.readElementStart(element);
        valueOf("message", record.message);
        if (reader.isElementNext("location")) {
            const KxXmlAttributeSet attributes = reader.readElementStart("location");
            for (auto [name, number] :
                 {std::pair{"line", &record.line}, {"column", &record.column}}) {
                if (const KxXmlAttribute* attribute = attributes.find(name)) {
                    *number = std::atol(attribute->getValue().c_str());
                }
            }
            valueOf("publicId", record.publicId);
            valueOf("systemId", record.systemId);
            reader.readElementEnd("location");
        }
        reader.readElementEnd(element);
        records.push_back(record);
    }
    reader.readElementEnd("errors");
    return records;
}

inline bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

inline std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);) {
        parts.push_back(part);
    }
    return parts;
}

// Each of the texts is in the text.
inline void expectHas(const std::string& text, std::initializer_list<std::string> parts) {
    for (const std::string& part : parts) {
        EXPECT_TRUE(has(text, part)) << part << "\nnot in\n" << text;
    }
}

// The records whose message holds all the given texts.
inline std::vector<ErrorRecord> recordsAbout(const std::vector<ErrorRecord>& records,
                                             const std::vector<std::string>& texts) {
    std::vector<ErrorRecord> found;
    std::copy_if(records.begin(), records.end(), std::back_inserter(found), [&](const auto& r) {
        return std::all_of(texts.begin(), texts.end(),
                           [&](const auto& text) { return has(r.message, text); });
    });
    return found;
}

class GeneratorProject : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_ = fs::current_path();
        fs::current_path(dir_.path());
    }
    void TearDown() override { fs::current_path(saved_); }

    std::string path() const { return dir_.str(); }
    // The -properties argument the wizards pass: joined with a backslash.
    std::string propertiesPath() const { return path() + "\\startup.properties"; }
    // Backslashes as startup.properties stores them.
    static std::string doubled(const std::string& path) {
        return std::regex_replace(path, std::regex(R"(\\)"), R"(\\)");
    }

    // startup.properties with the usual keys of a project of that type, then the lines.
    void writeProperties(const std::string& type, const std::vector<std::string>& lines) {
        std::string text = "type=" + type + "\nversion=1.0\nprojectDir=" + doubled(path()) +
                           "\nprojectName=demo\ncompileros=unix\n";
        for (const std::string& line : lines) {
            text += line + "\n";
        }
        dir_.write("startup.properties", text);
    }

    // Runs a command line in the project, output to orvowizard.txt; the exit status.
    int run(const std::string& commandLine) {
        return kx::os::runCommand(commandLine + " > orvowizard.txt");
    }

    // The wizards' command lines, quotes and all; no -compiler option when it is empty.
    std::string svcgen(const std::string& input, bool noServer = false,
                       const std::string& compiler = "redhat-gcc") const {
        return line("svcgen", noServer ? "-noserver " : "", input, compiler);
    }
    std::string bindgen(const std::string& input,
                        const std::string& compiler = "redhat-gcc") const {
        return line("bindgen", "", input, compiler);
    }
    std::string line(const std::string& program, const std::string& flags, const std::string& input,
                     const std::string& compiler) const {
        return "\"" + tool(program) + "\" " + flags + "-properties \"" + propertiesPath() + "\" " +
               (compiler.empty() ? "" : "-compiler " + compiler + " ") + "-DkeepProject=true \"" +
               input + "\"";
    }
    bool exists(const std::string& name) const { return fs::exists(dir_.path() / name); }
    std::string read(const std::string& name) const { return readFile(dir_ / name); }
    void write(const std::string& name, const std::string& content) const {
        dir_.write(name, content);
    }
    std::string log() const { return read("orvowizard.txt"); }
    std::vector<ErrorRecord> errors() const { return parseErrorFile(read("errors.xml")); }

    // The sorted names of the files in a folder of the project with that ending.
    std::vector<std::string> filesEndingIn(const std::string& suffix,
                                           const std::string& folder = ".") const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_.path() / folder)) {
            if (entry.path().filename().string().ends_with(suffix)) {
                names.push_back(entry.path().filename().string());
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    // Checks the C++ of the project: the sample servlets need C++20, the rest is C++17.
    int compileSyntax(const std::string& folder = ".") {
        const std::string common =
            " -fsyntax-only -Wall -Wextra -Werror " + pkgConfig("--cflags") + " -I" + folder;
        std::string line = "g++ -std=c++17" + common;
        std::string servlets = "g++ -std=c++20 -I" KX_SOURCE_DIR + common;
        bool anyServlet = false;
        for (const std::string& source : filesEndingIn(".cpp", folder)) {
            const bool servlet = source.ends_with("Servlet.cpp");
            (servlet ? servlets : line) += " " + folder + "/" + source;
            anyServlet = anyServlet || servlet;
        }
        const int status = kx::os::runCommand(line + " > compiler.txt");
        return status != 0 || !anyServlet ? status
                                          : kx::os::runCommand(servlets + " > compiler.txt");
    }

    // Builds the program with the generated sources but those left out, runs
    // it, and gives its output.
    std::string buildAndRun(const std::string& program,
                            const std::vector<std::string>& leaveOut = {}) {
        write("check_program.cxx", program);
        std::string line = "g++ -std=c++17 -Wall -Wextra -Werror " + pkgConfig("--cflags") +
                           " -I. -o check_program check_program.cxx";
        for (const std::string& source : filesEndingIn(".cpp")) {
            if (std::find(leaveOut.begin(), leaveOut.end(), source) == leaveOut.end()) {
                line += " " + source;
            }
        }
        EXPECT_EQ(kx::os::runCommand(line + " " + pkgConfig("--libs") + " > compiler.txt"), 0)
            << read("compiler.txt");
        EXPECT_EQ(kx::os::runCommand("./check_program > program.txt"), 0) << read("program.txt");
        return read("program.txt");
    }

    // Empties the project folder for the next run.
    void clear() const {
        for (const auto& entry : fs::directory_iterator(dir_.path())) {
            fs::remove_all(entry.path());
        }
    }

    // How the generated code finds libxml2 and libcurl, as pkg-config says.
    std::string pkgConfig(const std::string& option) {
        EXPECT_EQ(
            kx::os::runCommand("pkg-config " + option + " libxml-2.0 libcurl > pkg-config.txt"), 0);
        std::string flags = read("pkg-config.txt");
        return flags.erase(flags.find_last_not_of(" \n\t") + 1);
    }

  private:
    ScratchDir dir_;
    fs::path saved_;
};

}  // namespace gentest
