#include "orvowizard/wizard/KxOrvoWizard.h"

#include <iostream>
#include <mutex>
#include <sstream>

#include "orvowizard/common/KxContextAccessors.h"
#include "orvowizard/common/KxContextAdapters.h"
#include "orvowizard/common/KxFieldChecks.h"
#include "orvowizard/common/KxFileUtilities.h"
#include "orvowizard/common/KxSessionAccessors.h"
#include "platform/base/KxText.h"
#include "platform/os/KxAtomicFile.h"
#include "platform/os/KxCommand.h"
#include "platform/os/KxOs.h"

void KxOrvoWizard::init() {
    KxLumericServlet::init();
}

void KxOrvoWizard::writeProperties(const KxCString& path, KxContext& context) {
    writeTemplateToFile(path, "orvoproperties.tl", context);
}

// ---- page handling -------------------------------------------------------------

namespace {

bool beginsWith(const KxCString& text, const char* word) {
    return text.rfind(word, 0) == 0;
}

// Brings the thread back to the directory it was in when the guard was made,
// however the scope is left: a generator that throws must not leave the
// servlet thread inside a project folder that may be removed.
class CurrentDirectoryGuard {
  public:
    CurrentDirectoryGuard() : previous_(getCurrentDir()) {}
    ~CurrentDirectoryGuard() { setCurrentDir(previous_); }
    CurrentDirectoryGuard(const CurrentDirectoryGuard&) = delete;
    CurrentDirectoryGuard& operator=(const CurrentDirectoryGuard&) = delete;

  private:
    KxPathBuffer previous_;
};

}  // namespace

KxTemplate KxOrvoWizard::processRequest(KxHttpServletRequest& request,
                                        KxHttpServletResponse& response, KxContext& context) {
    // 1. The session, with this wizard's defaults when it is new.
    KxHttpSession& session = request.getSession(1);
    if (session.isNew()) {
        session.setMaxInactiveInterval(-1);
        resetSession(session);
    }
    // 2. An error shown earlier is gone.
    setSessionString(session, "errorMessage", "", false);
    // 3. A session that another wizard created gets this wizard's defaults too.
    if (getSessionString(session, "projectDir").empty()) {
        resetSession(session);
    }
    // 4. and 5. The operation, the pressed button, and a file picked in the
    // file browser.
    KxCString oper = request.getParameter("oper");
    const KxCString type = request.getParameter("type");
    const KxCString filename = request.getParameter("filename");
    if (!filename.empty()) {
        readStringParameter(session, request, "filename");
    }
    // 6. A path info of "/generate" stands for oper=generate.
    if (oper.empty()) {
        const KxCString& pathInfo = request.getPathInfo();
        if (!pathInfo.empty()) {
            oper = pathInfo.substr(1);
        }
    }
    // 7. to 9. The form, then the page context.
    if (!oper.empty()) {
        copyFormToSession(session, request);
    }
    fillContextFromSession(context, session);
    context.put("isOrvo", "ORVO");
    const KxCString home = homeDirectory();
    if (isNonEmptyFile(home + "\\" + "docs", "index.html")) {
        context.put("kxhome", home);
    }

    // 10. Dispatch: the first test that holds decides.
    try {
        if (beginsWith(type, "Save")) {
            const KxCString message = validateProject(request, session);
            if (!message.empty()) {
                return redirectToErrorPage(response, session, message);
            }
            return saveProject(request, response, context);
        }
        if (beginsWith(type, "Load")) {
            return showProjectsDirectory(request, response);
        }
        if (beginsWith(type, "Browse")) {
            response.sendRedirect("browse?tier=" + kx::urlEncoded(request.getParameter("tier")));
            return KxTemplate();
        }
        if (beginsWith(type, "Reset")) {
            resetSession(session);
            // Encoded, the value can only name a sibling page, never another
            // site.
            response.sendRedirect(kx::urlEncoded(request.getParameter("tier")));
            return KxTemplate();
        }
        if (oper == "generate") {
            const KxCString message = validateProject(request, session);
            if (!message.empty()) {
                return redirectToErrorPage(response, session, message);
            }
            return runGeneration(request, response, context);
        }
        if (oper == "load") {
            return loadStartupProperties(request, response, context);
        }
    } catch (const Kxxmsg& error) {
        return redirectToErrorPage(response, session, "Exception: " + error.why());
    } catch (const std::exception& error) {
        return redirectToErrorPage(response, session, KxCString("std::exception: ") + error.what());
    } catch (...) {
        return redirectToErrorPage(response, session, "Unknown exception thrown");
    }

    // 11. The wizard page itself.
    return parseFile(templateFile);
}

KxCString KxOrvoWizard::validateProject(KxHttpServletRequest& request, KxHttpSession& session) {
    if (getSessionString(session, "projectName").empty()) {
        return "Project name must be specified";
    }
    if (getSessionString(session, "projectDir").empty()) {
        return "Missing project directory";
    }
    // The values may come from a startup.properties edited by anyone: they
    // are checked here, where they are about to be written and run.
    KxCString message = checkPlainFileName("projectName", getSessionString(session, "projectName"));
    for (const char* name : {"projectDir", "filename"}) {
        if (message.empty()) {
            message = checkCommandWord(name, getSessionString(session, name));
        }
    }
    for (const char* name : {"outDir", "defaultFile", "compileros"}) {
        if (message.empty()) {
            message = checkSettingText(name, getSessionString(session, name));
        }
    }
    if (message.empty()) {
        message = checkOptionsText("properties", getSessionString(session, "properties"));
    }
    if (!message.empty()) {
        return message;
    }
    return validateInput(request, session);
}

KxTemplate KxOrvoWizard::showProjectsDirectory(KxHttpServletRequest& request,
                                               KxHttpServletResponse& response) {
    KxHttpSession& session = request.getSession(1);
    response.sendRedirect("viewer?dir=" + kx::urlEncoded(getSessionString(session, "projectDir")) +
                          "&tier=" + kx::urlEncoded(wizardType));
    return KxTemplate();
}

KxTemplate KxOrvoWizard::redirectToErrorPage(KxHttpServletResponse& response,
                                             KxHttpSession& session, const KxCString& message) {
    std::cout << "Error: " << message << std::endl;
    setSessionString(session, "errorMessage", message, false);
    response.sendRedirect("status?tier=" + kx::urlEncoded(wizardType));
    return KxTemplate();
}

// ---- settings and startup.properties ---------------------------------------------

void KxOrvoWizard::resetSession(KxHttpSession& session) {
    setSessionString(session, "projectDir", homeDirectory() + "\\" + "projects", true);
    setSessionString(session, "projectName", "", true);
    setSessionBool(session, "make", true);
    setSessionBool(session, "sample", true);
    setSessionBool(session, "msvcproject", true);
    setSessionBool(session, "html", true);
    setSessionString(session, "compileros", platformTable[defaultPlatformIndex()].label, false);
    setSessionBool(session, "stl", true);
    setSessionString(session, "outDir", "", true);
    setSessionString(session, "filename", "", true);
    setSessionString(session, "defaultFile", "", false);
    setSessionString(session, "properties", "", false);
    initSessionDefaults(session);
}

int KxOrvoWizard::defaultPlatformIndex() {
    kx::os::VersionInfo version;
    if (!kx::os::queryVersionEx(version) && !kx::os::queryVersion(version)) {
        return 0;
    }
    // Windows XP (NT 5.1) defaults to its own row; everything else to the
    // first one.
    if (version.family == kx::os::PlatformFamily::WindowsNT && version.major == 5 &&
        version.minor == 1) {
        return 2;
    }
    return 0;
}

void KxOrvoWizard::copyFormToSession(KxHttpSession& session, KxHttpServletRequest& request) {
    // 1. The common settings.
    readStringParameter(session, request, "projectDir");
    readStringParameter(session, request, "projectName");
    readCheckboxParameter(session, request, "sample");
    readCheckboxParameter(session, request, "html");
    readStringParameter(session, request, "compileros");
    readCheckboxParameter(session, request, "stl");
    readStringParameter(session, request, "outDir");
    readStringParameter(session, request, "properties");
    readCheckboxParameter(session, request, "msvcproject");
    // 2. A developer-studio project needs the build files, so it implies
    // "make" when the form leaves "make" out.
    if (request.getParameter("make").empty() && request.getParameter("msvcproject") == "on") {
        setSessionBool(session, "make", true);
    } else {
        readCheckboxParameter(session, request, "make");
    }
    // 3. No setting may split the generator's command line.
    sanitizeSessionString(session, "properties", wizardType);
    sanitizeSessionString(session, "projectDir", wizardType);
    sanitizeSessionString(session, "projectName", wizardType);
    // 4. The input file, falling back on the one the form offered.
    if (request.getParameter("filename").empty()) {
        const KxCString defaultFile = request.getParameter("defaultFile");
        setSessionString(session, "filename", defaultFile, true);
        setSessionString(session, "defaultFile", defaultFile, false);
    } else {
        readStringParameter(session, request, "filename");
        setSessionString(session, "defaultFile", request.getParameter("filename"), true);
    }
    sanitizeSessionString(session, "filename", wizardType);
    sanitizeSessionString(session, "defaultFile", wizardType);
    // 5. The wizard's own fields.
    readRequestParameters(session, request);
}

void KxOrvoWizard::fillContextFromSession(KxContext& context, KxHttpSession& session) {
    putSessionString(context, session, "projectDir");
    putSessionString(context, session, "projectName");
    putSessionBool(context, session, "make");
    putSessionBool(context, session, "sample");
    putSessionBool(context, session, "msvcproject");
    putSessionBool(context, session, "html");
    putSessionString(context, session, "compileros");
    putSessionBool(context, session, "stl");
    putSessionString(context, session, "outDir");
    putSessionString(context, session, "filename");
    putSessionString(context, session, "defaultFile");
    putSessionString(context, session, "properties");
    fillContext(context, session);

    KxRecordList<KxCString> labels;
    auto tail = labels.before_begin();
    for (const PlatformEntry* row = platformTable; row->label; ++row) {
        tail = appendRecord(labels, tail, KxCString(row->label));
    }
    context.put("oses", kxcreateContextObject(labels));
}

KxTemplate KxOrvoWizard::loadStartupProperties(KxHttpServletRequest& request,
                                               KxHttpServletResponse& response,
                                               KxContext& context) {
    KxHttpSession& session = request.getSession(1);
    // 1. to 3. A properties file of this wizard.
    const KxCString projectFile = request.getParameter("projectFile");
    if (projectFile.empty()) {
        return redirectToErrorPage(response, session, "Invalid file name");
    }
    KxProperties properties;
    properties.load(projectFile);
    if (properties.get("type") != wizardType) {
        return redirectToErrorPage(response, session, "Properties file is not for this Wizard");
    }
    // 4. The common settings.
    readStringProperty(session, properties, "projectDir");
    readStringProperty(session, properties, "projectName");
    readBoolProperty(session, properties, "make");
    readBoolProperty(session, properties, "msvcproject");
    readBoolProperty(session, properties, "html");
    readBoolProperty(session, properties, "sample");
    readStringProperty(session, properties, "compileros");
    readBoolProperty(session, properties, "stl");
    readStringProperty(session, properties, "outDir");
    readStringProperty(session, properties, "properties");
    // 5. Older files keep the whole project directory in "projectDir": split
    // it into the parent and the project's name.
    if (properties.get("version") != "1.2") {
        const KxCString path = unescapeBackslashes(properties.get("projectDir"));
        const KxCString parent = parentDirectory(path);
        setSessionString(session, "projectDir", parent, true);
        const KxCString::size_type nameStart = parent.size() + 1;
        setSessionString(session, "projectName",
                         nameStart < path.size() ? path.substr(nameStart) : KxCString(), false);
    }
    // 6. The input file, also offered as the form's default.
    readStringProperty(session, properties, "filename");
    setSessionString(session, "defaultFile", unescapeBackslashes(properties.get("filename")),
                     false);
    // 7. and 8. The wizard's own keys, then the page showing the project.
    loadProperties(session, properties);
    fillContextFromSession(context, session);
    return parseFile(templateFile);
}

const PlatformEntry* KxOrvoWizard::writeStartupProperties(KxContext& context,
                                                          KxHttpSession& session) {
    // 1. A context of its own in front of the page context: the template
    // sees every page value, and the escaped copies stay out of the page.
    KxContext fileContext;
    fileContext.setNextContext(&context);
    // 2. and 3. The project and its platform row.
    const KxCString compileros = getSessionString(session, "compileros");
    const KxCString path = projectPath(session);
    const PlatformEntry* matched = nullptr;
    for (const PlatformEntry* row = platformTable; row->label; ++row) {
        if (compileros == row->label) {
            matched = row;
            break;
        }
    }
    // 4. The values as the file stores them.
    escapeContextBackslashes(fileContext, "projectDir");
    escapeContextBackslashes(fileContext, "projectName");
    escapeContextBackslashes(fileContext, "outDir");
    escapeContextBackslashes(fileContext, "filename");
    escapeContextBackslashes(fileContext, "defaultFile");
    fileContext.put("kxhome", homeDirectory());
    escapeContextBackslashes(fileContext, "kxhome");
    escapeContextBackslashes(fileContext, "properties");
    fileContext.put("version", "1.2");
    fileContext.put("unix", kxcreateContextObject(matched != nullptr && matched->unix));
    if (matched && matched->compiler) {
        fileContext.put("compiler", matched->compiler);
    }
    if (matched && matched->opsys) {
        fileContext.put("opsys", matched->opsys);
    }
    // 5. and 6.
    writeProperties(path + "\\" + "startup.properties", fileContext);
    fileContext.setNextContext(nullptr);
    return matched;
}

void KxOrvoWizard::writeTemplateToFile(const KxCString& path, const KxCString& templateName,
                                       KxContext& context) {
    // The file is replaced as a whole: a crash or a failing disk leaves the
    // old file, never half a new one. A template that cannot be used still
    // replaces it with an empty file; a target that cannot be written is
    // left alone, as before, without an error.
    std::ostringstream out;
    const KxTemplate page = parseFile(templateName);
    if (page.isValid()) {
        page.execute(out, context);
    }
    kx::os::writeFileAtomically(path, out.str());
}

// ---- project directory, Save and generation runs -----------------------------------

KxCString KxOrvoWizard::projectPath(KxHttpSession& session) {
    return getSessionString(session, "projectDir") + "\\" +
           getSessionString(session, "projectName");
}

KxCString KxOrvoWizard::createProjectDirectory(KxHttpSession& session) {
    const KxCString path = projectPath(session);
    std::lock_guard lock(getInternalLock());
    return makeDirectories(path);
}

KxTemplate KxOrvoWizard::saveProject(KxHttpServletRequest& request, KxHttpServletResponse& response,
                                     KxContext& context) {
    KxHttpSession& session = request.getSession(1);
    const KxCString message = createProjectDirectory(session);
    if (!message.empty()) {
        return redirectToErrorPage(response, session,
                                   "Couldn't create project directory: " + message);
    }
    const KxCString path = projectPath(session);
    context.put("filename", getSessionString(session, "filename"));
    context.put("type", wizardType);
    writeStartupProperties(context, session);
    response.sendRedirect("viewer?dir=" + kx::urlEncoded(path) +
                          "&tier=" + kx::urlEncoded(wizardType));
    return KxTemplate();
}

KxTemplate KxOrvoWizard::runGeneration(KxHttpServletRequest& request,
                                       KxHttpServletResponse& response, KxContext& context) {
    // 1. and 2. The session and the project directory.
    KxHttpSession& session = request.getSession(1);
    const KxCString message = createProjectDirectory(session);
    if (!message.empty()) {
        return redirectToErrorPage(response, session,
                                   "Couldn't create project directory: " + message);
    }
    // 3. and 4. startup.properties with the current settings.
    const KxCString path = projectPath(session);
    const KxCString filename = getSessionString(session, "filename");
    context.put("filename", filename);
    context.put("type", wizardType);
    const PlatformEntry* matched = writeStartupProperties(context, session);
    // 5. and 6. Into the project directory. The container gives each request
    // thread a current directory of its own, so this run disturbs no other.
    const CurrentDirectoryGuard returnAfterwards;
    if (!changeDirectory(path)) {
        return redirectToErrorPage(response, session,
                                   "Couldn't change current directory to the project directory");
    }
    // 7. The platform row for the generator.
    if (matched && matched->compiler) {
        context.put("compiler", matched->compiler);
    }
    if (matched && matched->opsys) {
        context.put("opsys", matched->opsys);
    }
    // 8. An empty error file, so nothing of an earlier run shows. It is
    // replaced, never written through: a link planted as errors.xml stays
    // pointing where it pointed, and its target is not emptied.
    kx::os::writeFileAtomically("errors.xml", "");
    // 9. to 11. The generator, then back (the guard), then the status page.
    generate(path + "\\" + "startup.properties", filename, context);
    response.sendRedirect("status?dir=" + kx::urlEncoded(path) +
                          "&tier=" + kx::urlEncoded(wizardType));
    return KxTemplate();
}

void KxOrvoWizard::runGenerator(const KxCString& heading, const KxCString& command) {
    log(heading);
    log(command);
    kx::os::runCommand(command);
}

// ---- the session accessors with the wizard's prefix ----------------------------------

void KxOrvoWizard::readCheckboxParameter(KxHttpSession& session, KxHttpServletRequest& request,
                                         const KxCString& name) {
    ::readCheckboxParameter(session, request, name, wizardType);
}

void KxOrvoWizard::readStringParameter(KxHttpSession& session, KxHttpServletRequest& request,
                                       const KxCString& name) {
    ::readStringParameter(session, request, name, wizardType);
}

void KxOrvoWizard::readStringProperty(KxHttpSession& session, KxProperties& properties,
                                      const KxCString& name) {
    ::readStringProperty(session, properties, name, wizardType);
}

void KxOrvoWizard::readBoolProperty(KxHttpSession& session, KxProperties& properties,
                                    const KxCString& name) {
    ::readBoolProperty(session, properties, name, wizardType);
}

void KxOrvoWizard::putSessionBool(KxContext& context, KxHttpSession& session,
                                  const KxCString& name) {
    ::putSessionBool(context, session, name, wizardType);
}

void KxOrvoWizard::putSessionString(KxContext& context, KxHttpSession& session,
                                    const KxCString& name) {
    ::putSessionString(context, session, name, wizardType);
}

bool KxOrvoWizard::getSessionBool(KxHttpSession& session, const KxCString& name) {
    return ::getSessionBool(session, name, wizardType);
}

KxCString KxOrvoWizard::getSessionString(KxHttpSession& session, const KxCString& name) {
    return ::getSessionString(session, name, wizardType);
}

void KxOrvoWizard::setSessionBool(KxHttpSession& session, const KxCString& name, bool value) {
    ::setSessionBool(session, name, value, wizardType);
}

void KxOrvoWizard::setSessionString(KxHttpSession& session, const KxCString& name,
                                    const KxCString& value, bool stripQuotes) {
    ::setSessionString(session, name, value, wizardType, stripQuotes);
}

bool KxOrvoWizard::getContextBool(KxContext& context, const KxCString& name) {
    return ::getContextBool(context, name);
}

KxCString KxOrvoWizard::getContextString(KxContext& context, const KxCString& name) {
    return ::getContextString(context, name);
}
