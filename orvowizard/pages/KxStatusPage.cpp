#include "orvowizard/pages/KxStatusPage.h"

#include "orvowizard/common/KxContextAdapters.h"
#include "orvowizard/common/KxErrorFileReader.h"
#include "orvowizard/common/KxFileUtilities.h"
#include "orvowizard/common/KxSessionAccessors.h"
#include "orvowizard/runs/KxProjectBuild.h"
#include "orvowizard/runs/KxProjectZip.h"
#include "orvowizard/tryit/KxServiceDescription.h"
#include "orvowizard/tryit/KxServiceRegistry.h"
#include "platform/base/KxText.h"
#include "platform/os/KxOs.h"
#include "platform/servlet/KxDirectoryIter.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>

namespace {

// A word for a POSIX shell: in single quotes unless it is plain.
KxCString shellWord(const KxCString& word) {
    if (!word.empty() &&
        word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                               "0123456789_-./+:@") == KxCString::npos) {
        return word;
    }
    KxCString quoted = "'";
    for (char c : word) {
        quoted += c == '\'' ? KxCString("'\\''") : KxCString(1, c);
    }
    return quoted + "'";
}

// The page of the project dir, for a redirect after a form's work.
KxCString pageAddress(const KxCString& dir, const KxCString& tier) {
    KxCString address = "status?dir=" + kx::urlEncoded(dir);
    if (!tier.empty()) {
        address += "&tier=" + kx::urlEncoded(tier);
    }
    return address;
}

// The commands that build the project in a terminal, and run it where the
// makefile can: its services with "make run", its sample program after.
KxCString buildCommands(const KxCString& dir, const KxCString& projectName) {
    KxCString makefile;
    kx::os::readRegularFile(kx::os::nativePath(dir + "\\makefile"), makefile, 1024 * 1024);
    KxCString commands = "cd " + shellWord(kx::os::nativePath(dir)) + "\nmake\n";
    if (makefile.find("\nrun:") != KxCString::npos) {
        commands += "make run";
        if (makefile.find("\nPROGRAM = ") != KxCString::npos && !projectName.empty()) {
            commands += "        # then, in another terminal: ./" + shellWord(projectName);
        }
        commands += "\n";
    }
    return commands;
}

}  // namespace

namespace {

// A project file may be anything a generator, a colleague or an attacker
// left there. It is shown, never run: the sandbox gives an HTML page an
// origin of its own and no scripts, so it cannot act as this application's
// pages; HTML, images and text keep their types, other text (scripts among
// it) and textual data are shown as plain text, and anything else is offered
// as a download.
void setProjectFileHeaders(KxHttpServletResponse& response, const KxCString& mimeType,
                           const KxCString& pathInfo) {
    response.setHeader("Content-Security-Policy", "sandbox");
    response.setHeader("X-Content-Type-Options", "nosniff");
    const bool shown = mimeType == "text/html" || mimeType == "text/plain" ||
                       mimeType == "text/xml" || mimeType == "text/css" ||
                       mimeType.starts_with("image/");
    const bool textual = mimeType.starts_with("text/") || mimeType.find("xml") != KxCString::npos ||
                         mimeType.find("json") != KxCString::npos;
    if (shown) {
        response.setContentType(mimeType);
    } else if (textual) {
        response.setContentType("text/plain");
    } else {
        response.setContentType("application/octet-stream");
        const auto slash = pathInfo.find_last_of("/\\");
        KxCString name = pathInfo.substr(slash == KxCString::npos ? 0 : slash + 1);
        std::erase_if(name, [](char c) { return c == '"' || c == '\\' || c < 0x20; });
        response.setHeader("Content-Disposition", "attachment; filename=\"" + name + "\"");
    }
}

KxTemplate refuse(KxHttpServletResponse& response) {
    response.setStatus(404);
    response.setContentType("text/plain");
    response.setPayload("Not found\n");
    return KxTemplate();
}

// Appends to a list and keeps its tail.
template <class T>
class Appender {
  public:
    explicit Appender(KxRecordList<T>& list) : list_(list), tail_(list.before_begin()) {}
    void operator()(T value) { tail_ = appendRecord(list_, tail_, std::move(value)); }

  private:
    KxRecordList<T>& list_;
    typename KxRecordList<T>::iterator tail_;
};

}  // namespace

void KxStatusPage::readErrorFile(const KxCString& projectDir, KxContext& context) {
    ::readErrorFile(projectDir, context);
}

KxTemplate KxStatusPage::processRequest(KxHttpServletRequest& request,
                                        KxHttpServletResponse& response, KxContext& context) {
    // The session, the request's values, and the project to remember for
    // the file requests that follow.
    KxHttpSession& session = request.getSession(1);
    if (session.isNew()) {
        session.setMaxInactiveInterval(-1);
    }
    const KxCString dir = request.getParameter("dir");
    const KxCString tier = request.getParameter("tier");
    const KxCString errorMessage = getSessionString(session, "errorMessage", tier);
    const KxCString home = homeDirectory();
    if (!dir.empty()) {
        setSessionString(session, "projectDir", dir, "status", false);
    }
    const KxCString oper = request.getParameter("oper");
    if (oper == "build" && request.getMethod() == "POST") {
        return runBuild(request, response, dir, tier);
    }
    if ((oper == "run" || oper == "stop") && request.getMethod() == "POST") {
        return runOrStopService(response, dir, tier, oper == "run");
    }
    if (oper == "zip") {
        return sendZip(response, dir, request.getParameter("outputs") == "on");
    }

    // A path info asks for a file of that project.
    const KxCString& pathInfo = request.getPathInfo();
    if (!pathInfo.empty()) {
        KxTemplate answer = serveFile(session, response, pathInfo, home);
        if (response.isRedirect() || response.hasPayload()) {
            return answer;
        }
        // A missing or empty file shows the page instead.
    }
    return renderPage(context, dir, tier, errorMessage, home, request.getParameter("build"),
                      request.getParameter("service"));
}

void KxStatusPage::init() {
    KxLumericServlet::init();
    const KxCString limit = getServletConfig().getInitParameter("max-services");
    if (!limit.empty()) {
        try {
            const unsigned long value = std::stoul(limit);
            if (value >= 1 && value <= 64) {
                KxServiceRegistry::shared().setLimit(value);
                return;
            }
        } catch (const std::exception&) {
        }
        log("max-services must be a number from 1 to 64, not '" + limit + "'; 4 is used");
    }
}

void KxStatusPage::destroy() {
    KxServiceRegistry::shared().stopAll();
    KxLumericServlet::destroy();
}

KxTemplate KxStatusPage::runOrStopService(KxHttpServletResponse& response, const KxCString& dir,
                                          const KxCString& tier, bool run) {
    KxCString back = pageAddress(dir, tier);
    if (dir.empty() || !isProjectDirectory(dir)) {
        response.sendRedirect(back + "&service=noproject#service-heading");
        return KxTemplate();
    }
    KxServiceRegistry& services = KxServiceRegistry::shared();
    if (!run) {
        back += services.stop(dir) ? "&service=stopped" : "&service=notrunning";
        response.sendRedirect(back + "#service-heading");
        return KxTemplate();
    }
    const KxServiceRegistry::StartResult result = services.start(dir);
    switch (result.outcome) {
        case KxServiceRegistry::Outcome::Started:
        case KxServiceRegistry::Outcome::Failed:
            break;
        case KxServiceRegistry::Outcome::AlreadyRunning:
            back += "&service=running";
            break;
        case KxServiceRegistry::Outcome::Starting:
            back += "&service=starting";
            break;
        case KxServiceRegistry::Outcome::Limit:
            back += "&service=limit";
            break;
        case KxServiceRegistry::Outcome::NotBuilt:
            back += "&service=notbuilt";
            break;
    }
    response.sendRedirect(back + "#service-heading");
    return KxTemplate();
}

namespace {

// How a service's process ended, in words.
KxCString endedHow(std::optional<int> status) {
    if (!status) {
        return "it ended";
    }
    if (*status > 128 && *status < 160) {
        const int signal = *status - 128;
        const char* name = signal == SIGKILL   ? " (SIGKILL)"
                           : signal == SIGTERM ? " (SIGTERM)"
                           : signal == SIGSEGV ? " (SIGSEGV)"
                           : signal == SIGABRT ? " (SIGABRT)"
                                               : "";
        return "it was ended by signal " + std::to_string(signal) + name;
    }
    return "it ended with exit status " + std::to_string(*status);
}

}  // namespace

void KxStatusPage::putServiceReport(KxContext& context, const KxCString& dir,
                                    const KxCString& notice) {
    if (!isNonEmptyFile(dir, "web.xml")) {
        return;
    }
    context.put("canRun", kxcreateContextObject(true));
    const std::size_t limit = KxServiceRegistry::shared().limit();
    const std::pair<const char*, KxCString> notices[] = {
        {"running", "The service is running already."},
        {"starting", "The service is being started by another request."},
        {"limit", std::to_string(limit) + " services run already (the most at once). Stop one "
                                          "of them to run this one."},
        {"notbuilt", "Build the project first: the service's library is not there."},
        {"noproject", "Only generated projects can run."},
        {"notrunning", "The service was not running."},
        {"stopped", "The service was stopped."},
    };
    for (const auto& [code, text] : notices) {
        if (notice == code) {
            context.put("serviceNotice", text);
            context.put("serviceNoticeIsError",
                        kxcreateContextObject(notice != "stopped" && notice != "running"));
        }
    }
    const auto service = KxServiceRegistry::shared().find(dir);
    if (!service) {
        return;
    }
    KxRecordList<KxCString> problems(service->problems.begin(), service->problems.end());
    context.put("serviceProblems", kxcreateContextObject(problems));
    if (!service->running) {
        context.put(service->failedAtStart ? "serviceFailed" : "serviceEnded",
                    endedHow(service->exitStatus));
        return;
    }
    // A browser reaches the service by its own name; programs whose resolver
    // does not know .localhost names connect to 127.0.0.1.
    const KxCString port = std::to_string(service->port);
    const KxCString address = "http://" + service->hostName + ":" + port;
    context.put("serviceRunning", kxcreateContextObject(true));
    context.put("serviceAddress", address);
    context.put("serviceLoopback", "127.0.0.1:" + port);
    context.put("servicePid", kxcreateContextObject(service->pid));
    context.put("serviceStarted", service->started);
    context.put("serviceToken", service->token);
    const KxServiceDescription description = readServiceDescription(dir);
    std::vector<KxContextObject> ports;
    for (const KxSoapPort& port : description.ports) {
        ports.push_back(kxcreateRecord({
            {"name", kxcreateContextObject(port.name)},
            {"url", kxcreateContextObject(address + port.path)},
            {"operations",
             kxcreateContextObject(static_cast<unsigned long>(port.operations.size()))},
        }));
    }
    context.put("servicePorts", kxcreateContextObject(std::move(ports)));
    if (!description.error.empty()) {
        context.put("serviceDescriptionError", description.error);
    }
}

KxTemplate KxStatusPage::runBuild(KxHttpServletRequest& request, KxHttpServletResponse& response,
                                  const KxCString& dir, const KxCString& tier) {
    KxCString back = pageAddress(dir, tier);
    if (dir.empty() || !isProjectDirectory(dir)) {
        response.sendRedirect(back + "&build=noproject");
        return KxTemplate();
    }
    const KxBuildRun run = buildProject(dir, request.getParameter("runId"));
    switch (run.outcome) {
        case KxBuildRun::Outcome::Ran:
            break;
        case KxBuildRun::Outcome::NoMakefile:
            back += "&build=nomakefile";
            break;
        case KxBuildRun::Outcome::Busy:
            back += "&build=busy";
            break;
        case KxBuildRun::Outcome::Failed:
            back += "&build=failed";
            break;
    }
    response.sendRedirect(back + "#build-heading");
    return KxTemplate();
}

KxTemplate KxStatusPage::sendZip(KxHttpServletResponse& response, const KxCString& dir,
                                 bool includeBuildOutputs) {
    // The same folders as the file mode: those a run left its marks in.
    if (dir.empty() || kx::hasParentSegment(dir) || !isProjectDirectory(dir)) {
        return refuse(response);
    }
    KxProperties settings;
    settings.load(dir + "\\startup.properties");
    KxCString name = settings.get("projectName");
    if (name.empty()) {
        const auto slash = dir.find_last_of("/\\");
        name = dir.substr(slash == KxCString::npos ? 0 : slash + 1);
    }
    std::erase_if(name, [](char c) {
        return c == '"' || c == '\\' || c == '/' || static_cast<unsigned char>(c) < 0x20;
    });
    if (name.empty() || name == "." || name == "..") {
        name = "project";
    }
    auto stream = std::make_shared<KxProjectZipStream>(dir, name, includeBuildOutputs);
    if (!stream->ok()) {
        return refuse(response);
    }
    response.setContentType("application/zip");
    response.setHeader("Content-Disposition", "attachment; filename=\"" + name + ".zip\"");
    response.setPayloadStream(std::move(stream));
    return KxTemplate();
}

namespace {

// The path of a file the compiler named, relative to the project, when it
// is one of the project's own files; empty otherwise.
KxCString projectRelativePath(const KxCString& dir, const KxCString& file) {
    if (file.empty() || kx::hasParentSegment(file)) {
        return "";
    }
    const KxCString root = kx::os::realPathOf(dir);
    const KxCString real = kx::os::realPathOf(file.front() == '/' ? file : dir + "\\" + file);
    if (root.empty() || real.empty() || !kx::os::isBelow(real, root)) {
        return "";
    }
    return real.substr(root.size() + 1);
}

}  // namespace

void KxStatusPage::putBuildReport(KxContext& context, const KxCString& dir,
                                  const KxCString& notice) {
    if (!isNonEmptyFile(dir, "makefile")) {
        return;
    }
    context.put("canBuild", kxcreateContextObject(true));
    static const std::pair<const char*, const char*> kNotices[] = {
        {"busy", "A build of this project is already running. Its output goes to build.txt."},
        {"nomakefile", "This project has no makefile to build with."},
        {"noproject", "Only generated projects are built."},
        {"failed", "The project folder could not be entered."},
    };
    for (const auto& [code, text] : kNotices) {
        if (notice == code) {
            context.put("buildNotice", KxCString(text));
        }
    }
    const KxBuildReport report = readBuildReport(dir);
    if (!report.ran) {
        return;
    }
    context.put("buildRan", kxcreateContextObject(true));
    context.put("buildOk", kxcreateContextObject(report.status == 0));
    context.put("buildStatus", kxcreateContextObject(report.status));
    context.put("buildSeconds", report.seconds);
    context.put("buildTruncated", kxcreateContextObject(report.diagnostics.truncated));
    KxRecordList<XmlError> diagnostics;
    Appender<XmlError> addDiagnostic(diagnostics);
    for (const KxBuildDiagnostic& found : report.diagnostics.entries) {
        XmlError entry;
        entry.isError = found.kind == KxBuildDiagnostic::Kind::Error;
        entry.message = found.message;
        entry.file = found.file;
        entry.line = found.line;
        entry.column = found.column;
        for (const std::string& line : found.context) {
            entry.context += line + "\n";
        }
        entry.viewPath = projectRelativePath(dir, found.file);
        addDiagnostic(std::move(entry));
    }
    context.put("buildErrors", kxcreateContextObject(diagnostics));
    KxRecordList<KxCString> libraries(report.libraries.begin(), report.libraries.end());
    KxRecordList<KxCString> programs(report.programs.begin(), report.programs.end());
    context.put("buildLibraries", kxcreateContextObject(libraries));
    context.put("buildPrograms", kxcreateContextObject(programs));
}

KxTemplate KxStatusPage::serveFile(KxHttpSession& session, KxHttpServletResponse& response,
                                   const KxCString& pathInfo, const KxCString& home) {
    // The path is relative to the last project shown, or to the home for
    // its documentation when no project was shown yet.
    KxCString projectDir = getSessionString(session, "projectDir", "status");
    if (projectDir.empty() && pathInfo.starts_with("/docs")) {
        projectDir = home;
    }
    if (kx::hasParentSegment(pathInfo)) {
        // Only files below the project directory are served.
        return refuse(response);
    }
    if (projectDir.empty()) {
        response.sendRedirect("/orvo/viewer");
        return KxTemplate();
    }
    // Only directories a generation run left its marks in, and the home, are
    // served.
    if (!isProjectDirectory(projectDir) && projectDir != home) {
        response.sendRedirect("/orvo/viewer");
        return KxTemplate();
    }
    // The home directory shows its documentation, nothing else of it.
    if (projectDir == home && !pathInfo.starts_with("/docs/")) {
        return refuse(response);
    }
    const KxCString servedFrom = projectDir == home ? home + "/docs" : projectDir;
    return sendFile(response, projectDir + pathInfo, servedFrom, pathInfo);
}

bool KxStatusPage::isProjectDirectory(const KxCString& dir) {
    // The listing decides first: any errors.xml already makes the folder a
    // project, so a file request need not read up to megabytes of it.
    if (directoryHasFileEndingWith(dir, "Project.xml") ||
        directoryHasFileEndingWith(dir, "errors.xml")) {
        return true;
    }
    bool hasErrors = false;
    bool hasWarnings = false;
    scanErrorsFile(dir, hasErrors, hasWarnings);
    return hasErrors || hasWarnings;
}

KxTemplate KxStatusPage::sendFile(KxHttpServletResponse& response, const KxCString& path,
                                  const KxCString& servedFrom, const KxCString& pathInfo) {
    // The file is opened first and then checked where it really is, so a
    // link (or a folder that is a link) inside the project cannot hand out a
    // file from elsewhere, and nothing can be swapped in between the check
    // and the read.
    const int fd = kx::os::openRegularFile(path);
    if (fd < 0) {
        // A missing file or a folder shows the page; a device, a FIFO or a
        // socket is refused.
        kx::os::FileStatus status;
        const bool special =
            errno == EINVAL && kx::os::fileStatus(path, status) && !status.isDirectory();
        return special ? refuse(response) : KxTemplate();
    }
    if (!kx::os::isBelow(kx::os::realPathOf(fd), kx::os::realPathOf(servedFrom))) {
        ::close(fd);
        return refuse(response);
    }
    struct stat status;
    if (::fstat(fd, &status) != 0 || status.st_size == 0) {
        // An empty file shows the page instead.
        ::close(fd);
        return KxTemplate();
    }
    // The container's type for the file, or the page's own rule.
    KxCString mimeType = getServletContext().getMimeType(pathInfo);
    if (mimeType.empty()) {
        mimeType = mimeTypeOf(pathInfo);
    }
    setProjectFileHeaders(response, mimeType, pathInfo);
    response.setPayloadFile(fd);
    return KxTemplate();
}

KxTemplate KxStatusPage::renderPage(KxContext& context, const KxCString& dir, const KxCString& tier,
                                    const KxCString& errorMessage, const KxCString& home,
                                    const KxCString& buildNotice, const KxCString& serviceNotice) {
    // A wizard's error message, then the project's settings.
    if (!errorMessage.empty()) {
        context.put("errorMessage", errorMessage);
    }
    KxProperties settings;
    settings.load(dir + "/startup.properties");
    const KxCString projectName = settings.get("projectName");
    const KxCString type = settings.get("type");
    const KxCString html = settings.get("html");
    const KxCString make = settings.get("make");

    // The settings the page shows; the documentation links only where the
    // pages exist.
    context.put("outputDir", dir);
    context.put("tier", tier);
    context.put("projectName", projectName);
    context.put("type", type);
    if (isNonEmptyFile(home + "\\" + "docs", "index.html")) {
        context.put("kxhome", home);
    }
    context.put("filename", unescapeBackslashes(settings.get("filename")));
    if (isNonEmptyFile(dir + "\\" + "docs", "index.html") && html == "true") {
        context.put("html", html);
    }
    if (isNonEmptyFile(dir, "makefile") && make == "true") {
        context.put("make", make);
        context.put("nextSteps", buildCommands(dir, projectName));
    }

    // The generator's errors and warnings, the last build's outcome, then
    // the generated files in their groups.
    readErrorFile(dir, context);
    putBuildReport(context, dir, buildNotice);
    putServiceReport(context, dir, serviceNotice);
    const GeneratedFileLists lists = listGeneratedFiles(dir, type, html, make, projectName);
    context.put("datafiles", kxcreateContextObject(lists.dataFiles));
    context.put("clientfiles", kxcreateContextObject(lists.clientFiles));
    context.put("serverfiles", kxcreateContextObject(lists.serverFiles));
    context.put("samplefiles", kxcreateContextObject(lists.sampleFiles));
    context.put("msvc6", kxcreateContextObject(lists.msvc6));
    context.put("msvc7", kxcreateContextObject(lists.msvc7));
    return parseFile("statuspage.tl");
}

namespace {

// What the file rules look at besides the name: the project's settings as
// startup.properties holds them.
struct ProjectTraits {
    bool isServer;      // type "server"
    bool isService;     // type "server" or "client": a WSDL project
    bool isFoundation;  // type "foundation": a data-binding project
    bool htmlOn;        // "html" is exactly "true"
};

// The list of the page a file goes to; the four lists of records come first,
// in the order FileGroups keeps them.
enum class FileGroup { ServerFiles, ClientFiles, SampleFiles, DataFiles, Msvc6, Msvc7, NotListed };

// The fields of the listed record that a rule fills; b is the name without
// its last extension.
enum class RecordFields {
    HeaderAndDoc,        // b, its header, and its page when html is on
    SourceHeaderAndDoc,  // b, its source and header, and its page when html is on
    WholeName,           // the whole name as base and source, with the rule's extension word
    SampleSource,        // b and its source; the header too for an Impl or a Servlet
    DataClass,           // b, its source and header, and its page when one was generated
    NameOnly,            // the name itself, in a list of names
    Nothing,             // the file is not listed
};

bool isServerBaseHeader(const KxCString& name, const ProjectTraits& project) {
    return project.isServer && endsWith(name, "Base.h") && !endsWith(name, "ProxyBase.h") &&
           !endsWith(name, "ServletBase.h");
}

bool isServerBaseSource(const KxCString& name, const ProjectTraits& project) {
    return endsWith(name, "ServletBase.cpp") || (project.isServer && endsWith(name, "Local.cpp"));
}

bool isDeploymentDescriptor(const KxCString& name, const ProjectTraits&) {
    return endsWith(name, "web.xml");
}

bool isSampleCopy(const KxCString& name, const ProjectTraits&) {
    return endsWith(name, ".sample");
}

bool isMsvc6Project(const KxCString& name, const ProjectTraits&) {
    return endsWith(name, ".dsp");
}

bool isMsvc7Project(const KxCString& name, const ProjectTraits&) {
    return endsWith(name, ".vcproj");
}

bool isNoSource(const KxCString& name, const ProjectTraits&) {
    return !endsWith(name, ".cpp");
}

bool isSampleSource(const KxCString& name, const ProjectTraits&) {
    return endsWith(name, "Client.cpp") || endsWith(name, "Servlet.cpp") ||
           endsWith(name, "main.cpp") || endsWith(name, "Impl.cpp");
}

bool isClientProxy(const KxCString& name, const ProjectTraits& project) {
    return project.isService &&
           (endsWith(name, "ClientProxy.cpp") || endsWith(name, "ProxyBase.cpp"));
}

bool isServerSkeleton(const KxCString& name, const ProjectTraits& project) {
    return project.isService && endsWith(name, "Skeleton.cpp");
}

bool isAnyOtherSource(const KxCString&, const ProjectTraits&) {
    return true;
}

struct FileRule {
    bool (*holds)(const KxCString& name, const ProjectTraits& project);
    FileGroup group;
    RecordFields fields;
    const char* sourceFileExt = "cpp";
};

// Walked in order; the first rule that holds decides. The order matters: a
// ServletBase.cpp is a server file before any Servlet.cpp is a sample, and
// only sources reach the rules after isNoSource.
// clang-format off
constexpr FileRule kFileRules[] = {
    // condition              group                   fields
    {isServerBaseHeader,      FileGroup::ServerFiles, RecordFields::HeaderAndDoc},
    {isServerBaseSource,      FileGroup::ServerFiles, RecordFields::SourceHeaderAndDoc},
    {isDeploymentDescriptor,  FileGroup::ServerFiles, RecordFields::WholeName, "xml"},
    {isSampleCopy,            FileGroup::SampleFiles, RecordFields::WholeName, "sample"},
    {isMsvc6Project,          FileGroup::Msvc6,       RecordFields::NameOnly},
    {isMsvc7Project,          FileGroup::Msvc7,       RecordFields::NameOnly},
    {isNoSource,              FileGroup::NotListed,   RecordFields::Nothing},
    {isSampleSource,          FileGroup::SampleFiles, RecordFields::SampleSource},
    {isClientProxy,           FileGroup::ClientFiles, RecordFields::SourceHeaderAndDoc},
    {isServerSkeleton,        FileGroup::ServerFiles, RecordFields::SourceHeaderAndDoc},
    {isAnyOtherSource,        FileGroup::DataFiles,   RecordFields::DataClass},
};
// clang-format on

const FileRule& firstRuleFor(const KxCString& name, const ProjectTraits& project) {
    // The last rule holds for every name.
    return *std::ranges::find_if(kFileRules,
                                 [&](const FileRule& rule) { return rule.holds(name, project); });
}

// The generated page of a data class, found by its presence: directly under
// docs for a data-binding project, under docs/datatypes for the others.
KxCString dataClassPage(const KxCString& dir, const KxCString& base, const ProjectTraits& project) {
    if (project.isFoundation) {
        return isNonEmptyFile(dir + "\\" + "docs", base + ".html") ? "docs/" + base + ".html" : "";
    }
    return isNonEmptyFile(dir + "\\" + "docs" + "\\" + "datatypes", base + ".html")
               ? "docs/datatypes/" + base + ".html"
               : "";
}

GeneratedFile describeFile(const FileRule& rule, const KxCString& name, const KxCString& dir,
                           const ProjectTraits& project) {
    const auto dot = name.rfind('.');
    const KxCString base = dot == KxCString::npos ? name : name.substr(0, dot);
    const KxCString docPage = project.htmlOn ? "docs/" + base + ".html" : "";
    GeneratedFile file;
    switch (rule.fields) {
        case RecordFields::HeaderAndDoc:
            file.baseFile = base;
            file.headerFile = base + ".h";
            file.docFile = docPage;
            break;
        case RecordFields::SourceHeaderAndDoc:
            file.baseFile = base;
            file.sourceFile = base + ".cpp";
            file.headerFile = base + ".h";
            file.docFile = docPage;
            break;
        case RecordFields::WholeName:
            file.baseFile = name;
            file.sourceFile = name;
            file.sourceFileExt = rule.sourceFileExt;
            break;
        case RecordFields::SampleSource:
            file.baseFile = base;
            file.sourceFile = base + ".cpp";
            if (endsWith(name, "Impl.cpp") || endsWith(name, "Servlet.cpp")) {
                file.headerFile = base + ".h";
            }
            break;
        case RecordFields::DataClass:
            file.baseFile = base;
            file.sourceFile = base + ".cpp";
            file.headerFile = base + ".h";
            file.docFile = dataClassPage(dir, base, project);
            break;
        case RecordFields::NameOnly:
        case RecordFields::Nothing:
            break;
    }
    return file;
}

// The page's lists, each appended at its end. The lists of records are kept
// in the order of FileGroup, so a group picks its list by its value.
class FileGroups {
  public:
    explicit FileGroups(GeneratedFileLists& lists)
        : records_{Appender(lists.serverFiles), Appender(lists.clientFiles),
                   Appender(lists.sampleFiles), Appender(lists.dataFiles)},
          msvc6_(lists.msvc6),
          msvc7_(lists.msvc7) {}

    void addName(FileGroup group, const KxCString& name) {
        (group == FileGroup::Msvc6 ? msvc6_ : msvc7_)(name);
    }

    void addRecord(FileGroup group, GeneratedFile file) {
        records_.at(static_cast<std::size_t>(group))(std::move(file));
    }

  private:
    std::array<Appender<GeneratedFile>, 4> records_;
    Appender<KxCString> msvc6_, msvc7_;
};

}  // namespace

GeneratedFileLists listGeneratedFiles(const KxCString& dir, const KxCString& type,
                                      const KxCString& html, const KxCString& make,
                                      const KxCString& projectName) {
    GeneratedFileLists lists;
    FileGroups groups(lists);
    const ProjectTraits project{.isServer = type == "server",
                                .isService = type == "server" || type == "client",
                                .isFoundation = type == "foundation",
                                .htmlOn = html == "true"};

    // The project's own workspace and solution come first in their lists;
    // they are listed only under the project's name, when build files were
    // asked for.
    if (isNonEmptyFile(dir, projectName + ".dsw") && make == "true") {
        groups.addName(FileGroup::Msvc6, projectName + ".dsw");
    }
    if (isNonEmptyFile(dir, projectName + ".sln") && make == "true") {
        groups.addName(FileGroup::Msvc7, projectName + ".sln");
    }

    // Every file in the listing's order, by the first rule that holds; the
    // generators' scratch output is left out.
    for (KxDirectoryIter it(dir, KxDirectoryIter::kFiles); it.isValid(); ++it) {
        const KxCString& name = it.getName();
        if (name.starts_with("output.0")) {
            continue;
        }
        const FileRule& rule = firstRuleFor(name, project);
        if (rule.fields == RecordFields::NameOnly) {
            groups.addName(rule.group, name);
        } else if (rule.fields != RecordFields::Nothing) {
            groups.addRecord(rule.group, describeFile(rule, name, dir, project));
        }
    }
    return lists;
}
