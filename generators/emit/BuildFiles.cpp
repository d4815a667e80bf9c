#include "generators/emit/BuildFiles.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <utility>

#include "generators/emit/OutputWriter.h"
#include "generators/support/Text.h"

namespace kx::gen {

namespace {

constexpr const char* kProgramSource = "main.cpp";

bool hasProgram(const BuildProject& project) {
    return std::find(project.sources.begin(), project.sources.end(), kProgramSource) !=
           project.sources.end();
}

std::vector<KxCString> librarySources(const BuildProject& project) {
    std::vector<KxCString> sources;
    for (const KxCString& source : project.sources) {
        if (source != kProgramSource) {
            sources.push_back(source);
        }
    }
    return sources;
}

// Lines joined with CR LF, as the developer-studio formats expect.
KxCString crlf(const KxCString& text) {
    KxCString out;
    for (char c : text) {
        if (c == '\n') {
            out += '\r';
        }
        out += c;
    }
    return out;
}

KxCString backslashed(const KxCString& name) {
    KxCString path = name;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// A file of the project as the developer-studio files name it.
KxCString windowsPath(const KxCString& name) {
    return ".\\" + backslashed(name);
}

std::uint64_t fnv1a(const KxCString& text, std::uint64_t seed) {
    std::uint64_t hash = seed;
    for (char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

}  // namespace

Compiler compilerFor(const KxCString& key) {
    static const std::map<KxCString, Compiler> kCompilers = {
        {"redhat-icc", {"icpc", "-std=c++17 -fPIC -O2", "-shared"}},
        {"sunpro", {"CC", "-std=c++14 -KPIC -O", "-G"}},
        {"sunpro-64", {"CC", "-std=c++14 -m64 -KPIC -O", "-G -m64"}},
        {"va", {"xlC", "-qpic -O", "-qmkshrobj"}},
        {"va-64", {"xlC", "-q64 -qpic -O", "-qmkshrobj -q64"}},
        {"hpacc", {"aCC", "-AA +Z -O", "-b"}},
    };
    auto found = kCompilers.find(key);
    return found != kCompilers.end() ? found->second
                                     : Compiler{"g++", "-std=c++17 -Wall -fPIC -O2", "-shared"};
}

bool isKnownCompilerKey(const KxCString& key) {
    static const std::set<KxCString> kKeys = {"redhat-gcc", "solaris-gcc", "msvc",
                                              "redhat-icc", "sunpro",      "sunpro-64",
                                              "va",         "va-64",       "hpacc"};
    return kKeys.count(key) != 0;
}

std::optional<KxCString> buildProjectProblem(const BuildProject& project) {
    const auto quoted = [](const KxCString& value) { return "\"" + shownValue(value) + "\""; };
    if (auto problem = buildNameProblem(project.name)) {
        return "the project name " + quoted(project.name) + " cannot be used: " + *problem;
    }
    for (const std::vector<KxCString>* files : {&project.sources, &project.headers}) {
        for (const KxCString& file : *files) {
            if (auto problem = buildNameProblem(file)) {
                return "the file name " + quoted(file) + " cannot be used: " + *problem;
            }
        }
    }
    // The servlet API's folders are paths: each of their levels must be a word.
    for (const KxCString* folder :
         {&project.servletApiInclude, &project.servletApiLib, &project.containerProgram}) {
        std::size_t start = 0;
        while (start <= folder->size()) {
            const std::size_t end = std::min(folder->find('/', start), folder->size());
            const KxCString level = folder->substr(start, end - start);
            // A leading '-' is harmless inside a path.
            if (auto problem = level.empty() ? std::nullopt : buildNameProblem("x" + level)) {
                return "the servlet API folder " + quoted(*folder) + " cannot be used: " + *problem;
            }
            start = end + 1;
        }
    }
    return std::nullopt;
}

void writeBuildFiles(OutputWriter& output, const BuildProject& project, bool make, bool msvcProject,
                     Diagnostics& diagnostics) {
    if (!make && !msvcProject) {
        return;
    }
    if (auto problem = buildProjectProblem(project)) {
        diagnostics.error(*problem + "; no build files are written");
        return;
    }
    if (make) {
        output.write("makefile", makefileText(project));
    }
    if (msvcProject) {
        output.write(project.name + ".dsw", dswText(project));
        output.write(project.name + ".dsp", dspText(project));
        output.write(project.name + ".sln", slnText(project));
        output.write(project.name + ".vcproj", vcprojText(project));
    }
}

KxCString stableGuid(const KxCString& text) {
    static const char kHex[] = "0123456789ABCDEF";
    const std::uint64_t parts[] = {fnv1a(text, 0xcbf29ce484222325ULL),
                                   fnv1a(text, 0x84222325cbf29ce4ULL)};
    KxCString digits;
    for (std::uint64_t part : parts) {
        for (int shift = 60; shift >= 0; shift -= 4) {
            digits += kHex[(part >> shift) & 0xF];
        }
    }
    // Appended piece by piece: "{" + text trips a false -Wrestrict in GCC 12
    // at -O2.
    KxCString guid = "{";
    for (const auto& [from, count] : {std::pair{0, 8}, {8, 4}, {12, 4}, {16, 4}, {20, 12}}) {
        if (from != 0) {
            guid += '-';
        }
        guid.append(digits, from, count);
    }
    guid += '}';
    return guid;
}

namespace {

bool hasHeader(const BuildProject& project, const char* name) {
    return std::find(project.headers.begin(), project.headers.end(), name) != project.headers.end();
}

// Whether the project's classes read and write XML (through orvoruntime.h,
// on libxml2).
bool usesXml(const BuildProject& project) {
    return hasHeader(project, "orvoruntime.h");
}

// Whether the project has clients that post by HTTP (orvohttp.h, on libcurl).
bool usesHttp(const BuildProject& project) {
    return hasHeader(project, "orvohttp.h");
}

// libxml2's include folders as pkg-config gave them when the generators
// were built, for the developer-studio files (which cannot run pkg-config).
std::vector<KxCString> xmlIncludeFolders(const BuildProject& project) {
    std::vector<KxCString> folders;
    if (!usesXml(project)) {
        return folders;
    }
    const std::string_view list = KX_LIBXML2_INCLUDE_DIRS;
    for (std::size_t start = 0; start < list.size();) {
        const std::size_t end = std::min(list.find(';', start), list.size());
        if (end > start) {
            folders.emplace_back(list.substr(start, end - start));
        }
        start = end + 1;
    }
    return folders;
}

}  // namespace

KxCString makefileText(const BuildProject& project) {
    const Compiler compiler = compilerFor(project.compilerKey);
    const bool shared = project.kind == BuildProject::Kind::SharedLibrary;
    const KxCString library = "lib" + project.name + (shared ? ".so" : ".a");
    KxCString text = "# makefile of the project " + project.name + ": generated by " +
                     project.tool + " for the compiler " +
                     (project.compilerKey.empty()               ? KxCString("(default)")
                      : isKnownCompilerKey(project.compilerKey) ? project.compilerKey
                                                                : KxCString("(an unknown key)")) +
                     ".\n\n";
    const bool servlets = !project.servletApiInclude.empty();
    if (servlets) {
        text += "# The servlet API (C++20): its headers and libkxplatform.so.\nKX_INCLUDE = " +
                project.servletApiInclude + "\nKX_LIB = " + project.servletApiLib + "\n\n";
    }
    // The generated classes read and write XML through libxml2; pkg-config
    // gives its flags, kept apart from CXXFLAGS so that those can be changed
    // on the command line.
    const bool xml = usesXml(project);
    if (xml) {
        const KxCString packages = usesHttp(project) ? "libxml-2.0 libcurl" : "libxml-2.0";
        text +=
            "# libxml2, which the generated classes read and write XML with" +
            KxCString(usesHttp(project) ? ", and libcurl,\n# which the clients post with" : "") +
            ".\nXML_CFLAGS := $(shell pkg-config --cflags " + packages +
            ")\nXML_LIBS := $(shell pkg-config --libs " + packages + ")\n\n";
    }
    text += "CXX = " + compiler.cxx + "\nCXXFLAGS = " + compiler.flags + " -I." +
            (servlets ? " -std=c++20 -I$(KX_INCLUDE)" : "") +
            "\nSHAREDFLAGS = " + compiler.sharedFlags + "\n" +
            (servlets ? "LDLIBS = -L$(KX_LIB) -lkxplatform -Wl,-rpath,$(KX_LIB)\n" : "") +
            "\nSOURCES =";
    for (const KxCString& source : librarySources(project)) {
        text += " \\\n\t" + source;
    }
    text += "\nOBJECTS = $(SOURCES:.cpp=.o)\nLIBRARY = " + library + "\n";
    const bool program = hasProgram(project);
    if (program) {
        text += "PROGRAM = " + project.name + "\n";
    }
    text += "\nall: $(LIBRARY)" + KxCString(program ? " $(PROGRAM)" : "") + "\n\n";
    text += "$(LIBRARY): $(OBJECTS)\n";
    text += shared ? "\t$(CXX) $(SHAREDFLAGS) -o $@ $(OBJECTS) $(LDLIBS)" +
                         KxCString(xml ? " $(XML_LIBS)" : "") + "\n"
                   : "\trm -f $@\n\t$(AR) rcs $@ $(OBJECTS)\n";
    if (program) {
        text += "\n$(PROGRAM): main.o $(OBJECTS)\n\t$(CXX) -o $@ main.o $(OBJECTS)" +
                KxCString(servlets ? " $(LDLIBS)" : "") + KxCString(xml ? " $(XML_LIBS)" : "") +
                "\n";
    }
    text += "\n%.o: %.cpp\n\t$(CXX) $(CXXFLAGS)" + KxCString(xml ? " $(XML_CFLAGS)" : "") +
            " -c $< -o $@\n\n";
    const bool run = !project.containerProgram.empty();
    if (run) {
        text +=
            "# make run: serves the services in kxcontainer, at the port and paths of\n"
            "# their addresses (the folder webapp holds a copy of web.xml).\n"
            "KXCONTAINER = " +
            project.containerProgram +
            "\nrun: $(LIBRARY)\n\tmkdir -p webapp/WEB-INF\n\tcp web.xml webapp/WEB-INF/web.xml\n"
            "\t$(KXCONTAINER) --webapp webapp --lib-dir . --home . --context \"\" --no-token "
            "--port " +
            project.runPort + "\n\n";
    }
    text += "clean:\n\trm -f $(OBJECTS) $(LIBRARY)" +
            KxCString(program ? " main.o $(PROGRAM)" : "") + "\n\n.PHONY: all clean" +
            (run ? " run" : "") + "\n";
    return text;
}

KxCString dswText(const BuildProject& project) {
    const KxCString rule =
        "###############################################################################\n";
    return crlf(
        "Microsoft Developer Studio Workspace File, Format Version 6.00\n"
        "# WARNING: DO NOT EDIT OR DELETE THIS WORKSPACE FILE!\n\n" +
        rule + "\nProject: \"" + project.name + "\"=.\\" + project.name +
        ".dsp - Package Owner=<4>\n\nPackage=<5>\n{{{\n}}}\n\nPackage=<4>\n{{{\n}}}\n\n" + rule +
        "\nGlobal:\n\nPackage=<5>\n{{{\n}}}\n\nPackage=<3>\n{{{\n}}}\n\n" + rule);
}

KxCString dspText(const BuildProject& project) {
    const KxCString& name = project.name;
    const bool program = hasProgram(project);
    const bool shared = project.kind == BuildProject::Kind::SharedLibrary;
    const KxCString targetType = program  ? "Win32 (x86) Console Application\" 0x0103"
                                 : shared ? "Win32 (x86) Dynamic-Link Library\" 0x0102"
                                          : "Win32 (x86) Static Library\" 0x0104";
    const KxCString xmlLibrary = usesXml(project) ? " libxml2.lib" : "";
    const KxCString link =
        program  ? "# ADD LINK32 kernel32.lib" + xmlLibrary + " /nologo /subsystem:console"
        : shared ? "# ADD LINK32 kernel32.lib" + xmlLibrary + " /nologo /dll"
                 : KxCString("# ADD LIB32 /nologo");
    KxCString includes = " /I \".\"";
    for (const KxCString& folder : xmlIncludeFolders(project)) {
        includes += " /I \"" + backslashed(folder) + "\"";
    }
    KxCString text = "# Microsoft Developer Studio Project File - Name=\"" + name +
                     "\" - Package Owner=<4>\n"
                     "# Microsoft Developer Studio Generated Build File, Format Version 6.00\n"
                     "# ** DO NOT EDIT **\n\n# TARGTYPE \"" +
                     targetType + "\n\nCFG=" + name + " - Win32 Debug\n\n# Begin Project\n" +
                     "# PROP AllowPerConfigDependencies 0\n# PROP Scc_ProjName \"\"\n"
                     "# PROP Scc_LocalPath \"\"\nCPP=cl.exe\nRSC=rc.exe\n\n";
    const std::pair<const char*, const char*> configurations[] = {
        {"Release", "/MD /W3 /GX /O2 /D \"WIN32\" /D \"NDEBUG\""},
        {"Debug", "/MDd /W3 /Gm /GX /ZI /Od /D \"WIN32\" /D \"_DEBUG\""}};
    bool first = true;
    for (const auto& [configuration, flags] : configurations) {
        text += KxCString(first ? "!IF" : "!ELSEIF") + "  \"$(CFG)\" == \"" + name + " - Win32 " +
                configuration + "\"\n\n# PROP Use_MFC 0\n# PROP Use_Debug_Libraries " +
                (KxCString(configuration) == "Debug" ? "1" : "0") + "\n# PROP Output_Dir \"" +
                configuration + "\"\n# PROP Intermediate_Dir \"" + configuration +
                "\"\n# PROP Target_Dir \"\"\n# ADD CPP /nologo " + flags + includes + " /FD /c\n" +
                link + " /machine:I386\n\n";
        first = false;
    }
    text += "!ENDIF \n\n# Begin Target\n\n# Name \"" + name + " - Win32 Release\"\n# Name \"" +
            name + " - Win32 Debug\"\n";
    const std::pair<const char*, const std::vector<KxCString>*> groups[] = {
        {"Source Files\"\n\n# PROP Default_Filter \"cpp;c;cxx", &project.sources},
        {"Header Files\"\n\n# PROP Default_Filter \"h;hpp;hxx", &project.headers}};
    for (const auto& [group, files] : groups) {
        text += "# Begin Group \"" + KxCString(group) + "\"\n";
        for (const KxCString& file : *files) {
            text += "# Begin Source File\n\nSOURCE=" + windowsPath(file) + "\n# End Source File\n";
        }
        text += "# End Group\n";
    }
    text += "# End Target\n# End Project\n";
    return crlf(text);
}

KxCString slnText(const BuildProject& project) {
    const KxCString guid = stableGuid(project.name);
    // The first GUID is the one that marks a Visual C++ project.
    return crlf(
        "Microsoft Visual Studio Solution File, Format Version 7.00\n"
        "Project(\"{8BC9CEB8-8B4A-11D0-8D11-00A0C91BC942}\") = \"" +
        project.name + "\", \"" + project.name + ".vcproj\", \"" + guid +
        "\"\nEndProject\nGlobal\n"
        "\tGlobalSection(SolutionConfiguration) = preSolution\n"
        "\t\tConfigName.0 = Debug\n\t\tConfigName.1 = Release\n\tEndGlobalSection\n"
        "\tGlobalSection(ProjectDependencies) = postSolution\n\tEndGlobalSection\n"
        "\tGlobalSection(ProjectConfiguration) = postSolution\n"
        "\t\t" +
        guid + ".Debug.ActiveCfg = Debug|Win32\n\t\t" + guid +
        ".Debug.Build.0 = Debug|Win32\n\t\t" + guid + ".Release.ActiveCfg = Release|Win32\n\t\t" +
        guid +
        ".Release.Build.0 = Release|Win32\n\tEndGlobalSection\n"
        "\tGlobalSection(ExtensibilityGlobals) = postSolution\n\tEndGlobalSection\n"
        "\tGlobalSection(ExtensibilityAddIns) = postSolution\n\tEndGlobalSection\n"
        "EndGlobal\n");
}

KxCString vcprojText(const BuildProject& project) {
    const bool program = hasProgram(project);
    const bool shared = project.kind == BuildProject::Kind::SharedLibrary;
    const KxCString configurationType = program ? "1" : shared ? "2" : "4";
    const KxCString linkTool = program || shared ? "VCLinkerTool" : "VCLibrarianTool";
    KxCString includeList = ".";
    for (const KxCString& folder : xmlIncludeFolders(project)) {
        includeList += ";" + backslashed(folder);
    }
    const KxCString linkSettings =
        usesXml(project) && linkTool == "VCLinkerTool"
            ? KxCString("\n\t\t\t\tAdditionalDependencies=\"libxml2.lib\"")
            : KxCString();
    KxCString text =
        "<?xml version=\"1.0\" encoding=\"Windows-1252\"?>\n"
        "<VisualStudioProject\n\tProjectType=\"Visual C++\"\n\tVersion=\"7.00\"\n"
        "\tName=\"" +
        xmlEscape(project.name) + "\"\n\tProjectGUID=\"" + stableGuid(project.name) +
        "\"\n\tKeyword=\"Win32Proj\">\n"
        "\t<Platforms>\n\t\t<Platform\n\t\t\tName=\"Win32\"/>\n\t</Platforms>\n"
        "\t<Configurations>\n";
    const std::pair<const char*, const char*> configurations[] = {
        {"Debug",
         "\t\t\t\tOptimization=\"0\"\n\t\t\t\tPreprocessorDefinitions=\"WIN32;_DEBUG\"\n"
         "\t\t\t\tRuntimeLibrary=\"3\"\n"},
        {"Release",
         "\t\t\t\tOptimization=\"2\"\n\t\t\t\tPreprocessorDefinitions=\"WIN32;NDEBUG\"\n"
         "\t\t\t\tRuntimeLibrary=\"2\"\n"}};
    for (const auto& [configuration, compilerSettings] : configurations) {
        text += "\t\t<Configuration\n\t\t\tName=\"" + KxCString(configuration) +
                "|Win32\"\n\t\t\tOutputDirectory=\"" + configuration +
                "\"\n\t\t\tIntermediateDirectory=\"" + configuration +
                "\"\n\t\t\tConfigurationType=\"" + configurationType +
                "\"\n\t\t\tCharacterSet=\"2\">\n"
                "\t\t\t<Tool\n\t\t\t\tName=\"VCCLCompilerTool\"\n"
                "\t\t\t\tAdditionalIncludeDirectories=\"" +
                xmlEscape(includeList) + "\"\n" + compilerSettings +
                "\t\t\t\tWarningLevel=\"3\"/>\n"
                "\t\t\t<Tool\n\t\t\t\tName=\"" +
                linkTool + "\"" + linkSettings + "/>\n\t\t</Configuration>\n";
    }
    text += "\t</Configurations>\n\t<Files>\n";
    const std::pair<const char*, const std::vector<KxCString>*> groups[] = {
        {"\t\t\tName=\"Source Files\"\n\t\t\tFilter=\"cpp;c;cxx\">\n", &project.sources},
        {"\t\t\tName=\"Header Files\"\n\t\t\tFilter=\"h;hpp;hxx\">\n", &project.headers}};
    for (const auto& [group, files] : groups) {
        text += "\t\t<Filter\n" + KxCString(group);
        for (const KxCString& file : *files) {
            text += "\t\t\t<File\n\t\t\t\tRelativePath=\"" + xmlEscape(windowsPath(file)) +
                    "\">\n\t\t\t</File>\n";
        }
        text += "\t\t</Filter>\n";
    }
    text += "\t</Files>\n\t<Globals>\n\t</Globals>\n</VisualStudioProject>\n";
    return crlf(text);
}

}  // namespace kx::gen
