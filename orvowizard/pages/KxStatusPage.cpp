#include "orvowizard/pages/KxStatusPage.h"

#include "orvowizard/common/KxContextAdapters.h"
#include "orvowizard/common/KxErrorFileReader.h"
#include "orvowizard/common/KxFileUtilities.h"
#include "orvowizard/common/KxSessionAccessors.h"
#include "platform/os/KxOs.h"
#include "platform/servlet/KxDirectoryIter.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

bool beginsWith(const KxCString& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// A path info that climbs out of the directory it is appended to.
bool hasParentSegment(const KxCString& path) {
    KxCString::size_type start = 0;
    while (start <= path.size()) {
        auto end = path.find_first_of("/\\", start);
        if (end == KxCString::npos) {
            end = path.size();
        }
        if (path.compare(start, end - start, "..") == 0) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

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
                       beginsWith(mimeType, "image/");
    const bool textual = beginsWith(mimeType, "text/") ||
                         mimeType.find("xml") != KxCString::npos ||
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
    // 1. to 4. The session, the request's values, and the project to remember.
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

    // 5. A path info asks for a file.
    const KxCString& pathInfo = request.getPathInfo();
    if (!pathInfo.empty()) {
        KxTemplate answer = serveFile(session, response, pathInfo, home);
        if (response.isRedirect() || response.hasPayload()) {
            return answer;
        }
        // A missing or empty file shows the page instead.
    }
    return renderPage(context, dir, tier, errorMessage, home);
}

KxTemplate KxStatusPage::serveFile(KxHttpSession& session, KxHttpServletResponse& response,
                                   const KxCString& pathInfo, const KxCString& home) {
    // 1. to 3. The directory the path is relative to.
    KxCString projectDir = getSessionString(session, "projectDir", "status");
    if (projectDir.empty() && beginsWith(pathInfo, "/docs")) {
        projectDir = home;
    }
    if (hasParentSegment(pathInfo)) {
        // Only files below the project directory are served.
        return refuse(response);
    }
    if (projectDir.empty()) {
        response.sendRedirect("/orvo/viewer");
        return KxTemplate();
    }
    // 4. and 5. Only project directories and the home are served.
    bool hasErrors = false;
    bool hasWarnings = false;
    scanErrorsFile(projectDir, hasErrors, hasWarnings);
    const bool isProject = hasErrors || hasWarnings ||
                           directoryHasFileEndingWith(projectDir, "Project.xml") ||
                           directoryHasFileEndingWith(projectDir, "errors.xml");
    if (!isProject && projectDir != home) {
        response.sendRedirect("/orvo/viewer");
        return KxTemplate();
    }
    // The home directory shows its documentation, nothing else of it.
    if (projectDir == home && !beginsWith(pathInfo, "/docs/")) {
        return refuse(response);
    }
    // 6. and 7. The file's bytes, with the container's type for it or the
    // page's own rule. The file is opened first and then checked where it
    // really is, so a link (or a folder that is a link) inside the project
    // cannot hand out a file from elsewhere, and nothing can be swapped in
    // between the check and the read.
    const KxCString path = projectDir + pathInfo;
    const int fd = kx::os::openRegularFile(path);
    if (fd < 0) {
        // A missing file or a folder shows the page; a device, a FIFO or a
        // socket is refused.
        kx::os::FileStatus status;
        const bool special =
            errno == EINVAL && kx::os::fileStatus(path, status) && !status.isDirectory();
        return special ? refuse(response) : KxTemplate();
    }
    const KxCString servedFrom =
        kx::os::realPathOf(projectDir == home ? home + "/docs" : projectDir);
    struct stat status;
    if (!kx::os::isBelow(kx::os::realPathOf(fd), servedFrom)) {
        ::close(fd);
        return refuse(response);
    }
    if (::fstat(fd, &status) != 0 || status.st_size == 0) {
        // An empty file shows the page instead.
        ::close(fd);
        return KxTemplate();
    }
    KxCString mimeType = getServletContext().getMimeType(pathInfo);
    if (mimeType.empty()) {
        mimeType = mimeTypeOf(pathInfo);
    }
    setProjectFileHeaders(response, mimeType, pathInfo);
    response.setPayloadFile(fd);
    return KxTemplate();
}

KxTemplate KxStatusPage::renderPage(KxContext& context, const KxCString& dir, const KxCString& tier,
                                    const KxCString& errorMessage, const KxCString& home) {
    // 1. and 2.
    if (!errorMessage.empty()) {
        context.put("errorMessage", errorMessage);
    }
    KxProperties settings;
    settings.load(dir + "/startup.properties");
    const KxCString projectName = settings.get("projectName");
    const KxCString type = settings.get("type");
    const KxCString html = settings.get("html");
    const KxCString make = settings.get("make");

    // 3. The project's settings.
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
    }

    // 4. to 6.
    readErrorFile(dir, context);
    const GeneratedFileLists lists = listGeneratedFiles(dir, type, html, make, projectName);
    context.put("datafiles", kxcreateContextObject(lists.dataFiles));
    context.put("clientfiles", kxcreateContextObject(lists.clientFiles));
    context.put("serverfiles", kxcreateContextObject(lists.serverFiles));
    context.put("samplefiles", kxcreateContextObject(lists.sampleFiles));
    context.put("msvc6", kxcreateContextObject(lists.msvc6));
    context.put("msvc7", kxcreateContextObject(lists.msvc7));
    return parseFile("statuspage.tl");
}

GeneratedFileLists listGeneratedFiles(const KxCString& dir, const KxCString& type,
                                      const KxCString& html, const KxCString& make,
                                      const KxCString& projectName) {
    GeneratedFileLists lists;
    Appender data(lists.dataFiles);
    Appender client(lists.clientFiles);
    Appender server(lists.serverFiles);
    Appender sample(lists.sampleFiles);
    Appender msvc6(lists.msvc6);
    Appender msvc7(lists.msvc7);

    const bool htmlOn = html == "true";
    const bool isServer = type == "server";
    const bool isService = isServer || type == "client";
    auto docPage = [](const KxCString& base) { return "docs/" + base + ".html"; };

    // 1. The project's own workspace and solution come first in their lists.
    if (isNonEmptyFile(dir, projectName + ".dsw") && make == "true") {
        msvc6(projectName + ".dsw");
    }
    if (isNonEmptyFile(dir, projectName + ".sln") && make == "true") {
        msvc7(projectName + ".sln");
    }

    // 2. to 4. Every file, by the first rule that holds.
    for (KxDirectoryIter it(dir, KxDirectoryIter::kFiles); it.isValid(); ++it) {
        const KxCString& n = it.getName();
        const auto dot = n.rfind('.');
        const KxCString b = dot == KxCString::npos ? n : n.substr(0, dot);
        if (beginsWith(n, "output.0")) {
            continue;
        }
        GeneratedFile file;
        file.isNew = true;
        if (endsWith(n, "Base.h") && isServer && !endsWith(n, "ProxyBase.h") &&
            !endsWith(n, "ServletBase.h")) {
            file.baseFile = b;
            file.headerFile = b + ".h";
            if (htmlOn)
                file.docFile = docPage(b);
            server(file);
        } else if (endsWith(n, "ServletBase.cpp") || (endsWith(n, "Local.cpp") && isServer)) {
            file.baseFile = b;
            file.headerFile = b + ".h";
            file.sourceFile = b + ".cpp";
            if (htmlOn)
                file.docFile = docPage(b);
            server(file);
        } else if (endsWith(n, "web.xml")) {
            file.baseFile = n;
            file.sourceFile = n;
            file.sourceFileExt = "xml";
            server(file);
        } else if (endsWith(n, ".sample")) {
            file.baseFile = n;
            file.sourceFile = n;
            file.sourceFileExt = "sample";
            sample(file);
        } else if (endsWith(n, ".dsp")) {
            msvc6(n);
        } else if (endsWith(n, ".vcproj")) {
            msvc7(n);
        } else if (!endsWith(n, ".cpp")) {
            continue;
        } else if (endsWith(n, "Client.cpp") || endsWith(n, "Servlet.cpp") ||
                   endsWith(n, "main.cpp") || endsWith(n, "Impl.cpp")) {
            file.baseFile = b;
            file.sourceFile = b + ".cpp";
            if (endsWith(n, "Impl.cpp") || endsWith(n, "Servlet.cpp")) {
                file.headerFile = b + ".h";
            }
            sample(file);
        } else if (isService && (endsWith(n, "ClientProxy.cpp") || endsWith(n, "ProxyBase.cpp"))) {
            file.baseFile = b;
            file.sourceFile = b + ".cpp";
            file.headerFile = b + ".h";
            if (htmlOn)
                file.docFile = docPage(b);
            client(file);
        } else if (isService && endsWith(n, "Skeleton.cpp")) {
            file.baseFile = b;
            file.sourceFile = b + ".cpp";
            file.headerFile = b + ".h";
            if (htmlOn)
                file.docFile = docPage(b);
            server(file);
        } else {
            // Data classes: their pages are linked when present.
            file.baseFile = b;
            file.sourceFile = b + ".cpp";
            file.headerFile = b + ".h";
            if (type == "foundation") {
                if (isNonEmptyFile(dir + "\\" + "docs", b + ".html")) {
                    file.docFile = "docs/" + b + ".html";
                }
            } else if (isNonEmptyFile(dir + "\\" + "docs" + "\\" + "datatypes", b + ".html")) {
                file.docFile = "docs/datatypes/" + b + ".html";
            }
            data(file);
        }
    }
    return lists;
}
