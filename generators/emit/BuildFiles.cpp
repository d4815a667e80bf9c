#include "generators/emit/BuildFiles.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <utility>

#include "generators/emit/OutputWriter.h"
#include "generators/emit/TemplateRendering.h"
#include "generators/support/Text.h"

namespace kx::gen {

namespace {

constexpr const char* kProgramSource = "main.cpp";

bool hasProgram(const BuildProject& project) {
    return std::find(project.sources.begin(), project.sources.end(), kProgramSource) !=
           project.sources.end();
}

bool isGroupPart(const BuildProject& project, const KxCString& source) {
    return std::any_of(project.groups.begin(), project.groups.end(), [&](const SourceGroup& group) {
        return std::find(group.parts.begin(), group.parts.end(), source) != group.parts.end();
    });
}

// What the makefile compiles besides the groups' units: the sources but
// main.cpp and the groups' parts.
std::vector<KxCString> librarySources(const BuildProject& project) {
    std::vector<KxCString> sources;
    for (const KxCString& source : project.sources) {
        if (source != kProgramSource && !isGroupPart(project, source)) {
            sources.push_back(source);
        }
    }
    return sources;
}

// The makefile's rules that rebuild a unit's object when one of its parts
// changes.
KxContextObject groupValues(const BuildProject& project) {
    std::vector<KxContextObject> groups;
    for (const SourceGroup& group : project.groups) {
        const std::size_t slash = group.unit.rfind('/');
        const KxCString folder = slash == KxCString::npos ? "." : group.unit.substr(0, slash);
        const KxCString file = group.unit.substr(slash + 1);
        groups.push_back(kxcreateRecord({{"folder", inputText(folder)},
                                         {"source", inputText(file)},
                                         {"object", inputText(withoutExtension(file) + ".o")},
                                         {"parts", inputTexts(group.parts)}}));
    }
    return kxcreateContextObject(std::move(groups));
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

namespace {

// How the makefile's first line names the compiler key.
KxCString compilerShown(const KxCString& key) {
    return key.empty()               ? KxCString("(default)")
           : isKnownCompilerKey(key) ? key
                                     : "(an unknown key)";
}

// The developer-studio configurations: the version-6 project's Release and
// Debug, the version-7 project's Debug and Release.
KxContextObject configurations() {
    return kxcreateContextObject(std::vector<KxContextObject>{
        kxcreateRecord(
            {{"name", kxcreateContextObject("Release")},
             {"debugLibraries", kxcreateContextObject("0")},
             {"flags", kxcreateContextObject("/MD /W3 /GX /O2 /D \"WIN32\" /D \"NDEBUG\"")}}),
        kxcreateRecord({{"name", kxcreateContextObject("Debug")},
                        {"debugLibraries", kxcreateContextObject("1")},
                        {"flags", kxcreateContextObject(
                                      "/MDd /W3 /Gm /GX /ZI /Od /D \"WIN32\" /D \"_DEBUG\"")}})});
}

KxContextObject vcConfigurations() {
    const auto configuration = [](const char* name, const char* optimization, const char* define,
                                  const char* runtime) {
        return kxcreateRecord({{"name", kxcreateContextObject(name)},
                               {"optimization", kxcreateContextObject(optimization)},
                               {"define", kxcreateContextObject(define)},
                               {"runtime", kxcreateContextObject(runtime)}});
    };
    return kxcreateContextObject(std::vector<KxContextObject>{
        configuration("Debug", "0", "_DEBUG", "3"), configuration("Release", "2", "NDEBUG", "2")});
}

// What the build-file templates see of a project.
KxRecordFields buildValues(const BuildProject& project) {
    const Compiler compiler = compilerFor(project.compilerKey);
    const bool shared = project.kind == BuildProject::Kind::SharedLibrary;
    const std::vector<KxCString> includeFolders = xmlIncludeFolders(project);
    KxCString includeList = ".";
    for (const KxCString& folder : includeFolders) {
        includeList += ";" + backslashed(folder);
    }
    return {
        {"name", inputText(project.name)},
        {"tool", kxcreateContextObject(project.tool)},
        {"compilerShown", kxcreateContextObject(compilerShown(project.compilerKey))},
        {"compiler",
         kxcreateRecord({{"cxx", kxcreateContextObject(compiler.cxx)},
                         {"flags", kxcreateContextObject(compiler.flags)},
                         {"sharedFlags", kxcreateContextObject(compiler.sharedFlags)}})},
        {"shared", kxcreateContextObject(shared)},
        {"program", kxcreateContextObject(hasProgram(project))},
        {"servlets", kxcreateContextObject(!project.servletApiInclude.empty())},
        {"servletApiInclude", inputText(project.servletApiInclude)},
        {"servletApiLib", inputText(project.servletApiLib)},
        {"usesXml", kxcreateContextObject(usesXml(project))},
        {"http", kxcreateContextObject(usesHttp(project))},
        {"packages",
         kxcreateContextObject(usesHttp(project) ? "libxml-2.0 libcurl" : "libxml-2.0")},
        {"sources", inputTexts(project.sources)},
        {"groups", groupValues(project)},
        {"librarySources", inputTexts(librarySources(project))},
        {"headers", inputTexts(project.headers)},
        {"library", inputText("lib" + project.name + (shared ? ".so" : ".a"))},
        {"dspFile", inputText(project.name + ".dsp")},
        {"run", kxcreateContextObject(!project.containerProgram.empty())},
        {"containerProgram", inputText(project.containerProgram)},
        {"runPort", inputText(project.runPort)},
        {"xmlIncludeFolders", inputTexts(includeFolders)},
        {"includeList", inputText(includeList)},
        {"configurations", configurations()},
        {"vcConfigurations", vcConfigurations()},
    };
}

}  // namespace

KxCString makefileText(const BuildProject& project) {
    return renderTemplate("build/makefile.tl", buildValues(project));
}

KxCString dswText(const BuildProject& project) {
    return crlf(renderTemplate("build/dsw.tl", buildValues(project)));
}

KxCString dspText(const BuildProject& project) {
    return crlf(renderTemplate("build/dsp.tl", buildValues(project)));
}

KxCString slnText(const BuildProject& project) {
    return crlf(renderTemplate("build/sln.tl", buildValues(project)));
}

KxCString vcprojText(const BuildProject& project) {
    return crlf(renderTemplate("build/vcproj.tl", buildValues(project)));
}

}  // namespace kx::gen
