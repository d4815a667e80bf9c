#include "orvowizard/wizard/KxOrvoWizard.h"

#include <iostream>
#include <mutex>
#include <sstream>

#include "orvowizard/common/KxContextAccessors.h"
#include "orvowizard/common/KxContextAdapters.h"
#include "orvowizard/common/KxFieldChecks.h"
#include "orvowizard/common/KxFileUtilities.h"
#include "orvowizard/common/KxSessionAccessors.h"
#include "orvowizard/common/KxSessionSettings.h"
#include "orvowizard/runs/KxRunRegistry.h"
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

KxTemplate KxOrvoWizard::processRequest(KxHttpServletRequest& request,
                                        KxHttpServletResponse& response, KxContext& context) {
    KxHttpSession& session = prepareSession(request);

    // The operation, the pressed button, and a file picked in the file
    // browser, which is kept even when no operation is asked for.
    KxCString oper = request.getParameter("oper");
    const KxCString type = request.getParameter("type");
    if (!request.getParameter("filename").empty()) {
        readStringParameter(session, request, "filename");
    }
    // A path info of "/generate" stands for oper=generate.
    if (oper.empty()) {
        const KxCString& pathInfo = request.getPathInfo();
        if (!pathInfo.empty()) {
            oper = pathInfo.substr(1);
        }
    }

    // A request that names an operation carries the form; the page context
    // then shows the session as it now stands. The form's values stay this
    // request's until its operation ends: a form sent from another tab of
    // the same browser waits, rather than have its values mixed into this
    // run's.
    std::unique_lock<std::mutex> operation(session.operationMutex(), std::defer_lock);
    if (!oper.empty()) {
        operation.lock();
        copyFormToSession(session, request);
    }
    fillContextFromSession(context, session);
    static const KxContextObject kOrvo = kxcreateContextObject("ORVO");
    context.put("isOrvo", kOrvo);
    const KxCString home = homeDirectory();
    if (isNonEmptyFile(home + "\\" + "docs", "index.html")) {
        context.put("kxhome", home);
    }

    // Whatever an operation throws ends on the error page, never as a
    // server error in the browser.
    try {
        if (auto answer = dispatchOperation(request, response, context, session, type, oper)) {
            return *answer;
        }
    } catch (const Kxxmsg& error) {
        return redirectToErrorPage(response, session, "Exception: " + error.why());
    } catch (const std::exception& error) {
        return redirectToErrorPage(response, session, KxCString("std::exception: ") + error.what());
    } catch (...) {
        return redirectToErrorPage(response, session, "Unknown exception thrown");
    }
    // No operation asked for: the wizard page itself.
    return parseFile(templateFile);
}

// Every request starts without an error message; one already empty is left
// as it is, which spares a new session value per request.
void KxOrvoWizard::clearErrorMessage(KxHttpSession& session) {
    const KxServletAttribute stored = session.getAttribute(wizardType + "errorMessage");
    const auto* text = dynamic_cast<const KxTServletAttributeImpl<KxCString>*>(stored.getImpl());
    if (!text || !text->getValue().empty()) {
        setSessionString(session, "errorMessage", "", false);
    }
}

KxHttpSession& KxOrvoWizard::prepareSession(KxHttpServletRequest& request) {
    KxHttpSession& session = request.getSession(1);
    if (session.isNew()) {
        session.setMaxInactiveInterval(-1);
        resetSession(session);
    }
    clearErrorMessage(session);
    // A session that another wizard created gets this wizard's defaults too.
    if (getSessionString(session, "projectDir").empty()) {
        resetSession(session);
    }
    return session;
}

std::optional<KxTemplate> KxOrvoWizard::dispatchOperation(
    KxHttpServletRequest& request, KxHttpServletResponse& response, KxContext& context,
    KxHttpSession& session, const KxCString& type, const KxCString& oper) {
    // The buttons come first, then the form operations; the first test that
    // holds decides.
    if (type.starts_with("Save")) {
        const KxCString message = validateProject(request, session);
        if (!message.empty()) {
            return redirectToErrorPage(response, session, message);
        }
        return saveProject(request, response, context);
    }
    if (type.starts_with("Load")) {
        return showProjectsDirectory(request, response);
    }
    if (type.starts_with("Browse")) {
        response.sendRedirect("browse?tier=" + kx::urlEncoded(request.getParameter("tier")));
        return KxTemplate();
    }
    if (type.starts_with("Reset")) {
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
    return std::nullopt;
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

namespace {

using enum SettingKind;
using enum SettingDefault;
using enum OnReset;
using enum FromForm;
using enum FromFile;
using enum InFile;
using enum SettingCheck;

// The settings every wizard keeps. Rows with a rule of their own are handled
// after the table's walk: "make", which a developer-studio project implies;
// the input file, which falls back on the one the form offered; the offered
// file, which a loaded file takes from its input file. An older file's
// "projectDir" is split after the walk too.
// clang-format off
constexpr WizardSetting kCommonSettings[] = {
    // name         kind  default               reset        from the form    from the file    in the file         check
    {"projectDir",  Text, ProjectsFolder,       StripQuotes, SanitizedField,  OwnKey,          BackslashesDoubled, CommandWord},
    {"projectName", Text, Empty,                StripQuotes, SanitizedField,  OwnKey,          BackslashesDoubled, PlainFileName},
    {"make",        Flag, On,                   KeepQuotes,  SpecialFormRule},
    {"sample",      Flag, On},
    {"msvcproject", Flag, On},
    {"html",        Flag, On},
    {"compileros",  Text, PlatformOfThisSystem},
    {"stl",         Flag, On},
    {"outDir",      Text, Empty,                StripQuotes, Field,           OwnKey,          BackslashesDoubled},
    {"filename",    Text, Empty,                StripQuotes, SpecialFormRule, OwnKey,          BackslashesDoubled, CommandWord},
    {"defaultFile", Text, Empty,                KeepQuotes,  SpecialFormRule, SpecialFileRule, BackslashesDoubled},
    {"properties",  Text, Empty,                KeepQuotes,  SanitizedField,  OwnKey,          BackslashesDoubled, Options},
};
// clang-format on

bool takenAsField(const WizardSetting& setting) {
    return setting.fromForm == Field || setting.fromForm == SanitizedField;
}

}  // namespace

KxCString KxOrvoWizard::validateProject(KxHttpServletRequest& request, KxHttpSession& session) {
    if (getSessionString(session, "projectName").empty()) {
        return "Project name must be specified";
    }
    if (getSessionString(session, "projectDir").empty()) {
        return "Missing project directory";
    }
    // The values may come from a startup.properties edited by anyone: they
    // are checked here, where they are about to be written and run.
    if (KxCString message = checkSettings(session, kCommonSettings); !message.empty()) {
        return message;
    }
    return validateInput(request, session);
}

void KxOrvoWizard::resetSession(KxHttpSession& session) {
    storeDefaults(session, kCommonSettings);
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
    copyFormFields(session, request, kCommonSettings);
    copyMakeFlag(session, request);
    copyInputFile(session, request);
    readRequestParameters(session, request);
}

void KxOrvoWizard::copyMakeFlag(KxHttpSession& session, KxHttpServletRequest& request) {
    // A developer-studio project needs the build files, so it implies "make"
    // when the form leaves "make" out.
    if (request.getParameter("make").empty() && request.getParameter("msvcproject") == "on") {
        setSessionBool(session, "make", true);
    } else {
        readCheckboxParameter(session, request, "make");
    }
}

void KxOrvoWizard::copyInputFile(KxHttpSession& session, KxHttpServletRequest& request) {
    // Without an input file of its own the form falls back on the one it
    // offered; a chosen file becomes the one offered next time.
    if (request.getParameter("filename").empty()) {
        const KxCString defaultFile = request.getParameter("defaultFile");
        setSessionString(session, "filename", defaultFile, true);
        setSessionString(session, "defaultFile", defaultFile, false);
    } else {
        readStringParameter(session, request, "filename");
        setSessionString(session, "defaultFile", request.getParameter("filename"), true);
    }
    // Both names end up on the generator's command line.
    sanitizeSessionString(session, "filename", wizardType);
    sanitizeSessionString(session, "defaultFile", wizardType);
}

// The settings are read from the session when the page first shows them
// (KxSessionSettings), not copied here. A second call, after the session
// changed, starts afresh.
void KxOrvoWizard::fillContextFromSession(KxContext& context, KxHttpSession& session) {
    context.setSource(nullptr);
    putSettings(context, session, kCommonSettings);
    fillContext(context, session);

    // The labels among which "compileros" is chosen; the table never
    // changes, so the list and its texts are made once.
    static const KxContextObject kLabels = [] {
        std::vector<KxContextObject> labels;
        for (const PlatformEntry* row = platformTable; row->label; ++row) {
            labels.push_back(kxcreateContextObject(row->label));
        }
        return kxcreateContextObject(std::move(labels));
    }();
    context.put("oses", kLabels);
}

KxTemplate KxOrvoWizard::loadStartupProperties(KxHttpServletRequest& request,
                                               KxHttpServletResponse& response,
                                               KxContext& context) {
    KxHttpSession& session = request.getSession(1);
    // Only a properties file this wizard wrote is loaded.
    const KxCString projectFile = request.getParameter("projectFile");
    if (projectFile.empty()) {
        return redirectToErrorPage(response, session, "Invalid file name");
    }
    KxProperties properties;
    properties.load(projectFile);
    if (properties.get("type") != wizardType) {
        return redirectToErrorPage(response, session, "Properties file is not for this Wizard");
    }

    readSettingsFile(session, properties, kCommonSettings);
    if (properties.get("version") != "1.2") {
        splitOlderProjectDir(session, properties);
    }
    // The input file is also offered as the form's default.
    setSessionString(session, "defaultFile", unescapeBackslashes(properties.get("filename")),
                     false);
    loadProperties(session, properties);

    // The wizard page, showing the loaded project.
    fillContextFromSession(context, session);
    return parseFile(templateFile);
}

void KxOrvoWizard::splitOlderProjectDir(KxHttpSession& session, KxProperties& properties) {
    // Older files keep the whole project directory in "projectDir": its
    // parent becomes "projectDir", the rest after the separator the name.
    const KxCString path = unescapeBackslashes(properties.get("projectDir"));
    const KxCString parent = parentDirectory(path);
    setSessionString(session, "projectDir", parent, true);
    const KxCString::size_type nameStart = parent.size() + 1;
    setSessionString(session, "projectName",
                     nameStart < path.size() ? path.substr(nameStart) : KxCString(), false);
}

const PlatformEntry* KxOrvoWizard::writeStartupProperties(KxContext& context,
                                                          KxHttpSession& session) {
    // A context of its own in front of the page context: the template sees
    // every page value, and the escaped copies stay out of the page.
    KxContext fileContext;
    fileContext.setNextContext(&context);

    // The project, and the platform row its "compileros" names.
    const KxCString compileros = getSessionString(session, "compileros");
    const KxCString path = projectPath(session);
    const PlatformEntry* matched = nullptr;
    for (const PlatformEntry* row = platformTable; row->label; ++row) {
        if (compileros == row->label) {
            matched = row;
            break;
        }
    }
    // The values as the file stores them, the layout's version and what the
    // platform row tells the generator.
    escapeSettingsForFile(fileContext, kCommonSettings);
    fileContext.put("kxhome", homeDirectory());
    escapeContextBackslashes(fileContext, "kxhome");
    fileContext.put("version", "1.2");
    fileContext.put("unix", kxcreateContextObject(matched != nullptr && matched->unix));
    if (matched && matched->compiler) {
        fileContext.put("compiler", matched->compiler);
    }
    if (matched && matched->opsys) {
        fileContext.put("opsys", matched->opsys);
    }
    // The wizard's template writes the file; the page context is left as it
    // was.
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
    const KxCString message = makeDirectories(path);
    // A project folder that is a link would send every file of the run to
    // wherever the link points.
    if (message.empty() && kx::os::isSymbolicLink(path)) {
        return "the project folder is a symbolic link";
    }
    return message;
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
    // The project directory, created when missing.
    KxHttpSession& session = request.getSession(1);
    const KxCString message = createProjectDirectory(session);
    if (!message.empty()) {
        return redirectToErrorPage(response, session,
                                   "Couldn't create project directory: " + message);
    }
    // startup.properties with the current settings, which the generator reads.
    const KxCString path = projectPath(session);
    const KxCString filename = getSessionString(session, "filename");
    context.put("filename", filename);
    context.put("type", wizardType);
    const PlatformEntry* matched = writeStartupProperties(context, session);
    // Into the project directory, so the generator's relative names land there. The container gives
    // each request thread a current directory of its own, so this run disturbs no other.
    const CurrentDirectoryGuard returnAfterwards;
    if (!changeDirectory(path)) {
        return redirectToErrorPage(response, session,
                                   "Couldn't change current directory to the project directory");
    }
    // The platform row's compiler and system, for the generator's command line.
    if (matched && matched->compiler) {
        context.put("compiler", matched->compiler);
    }
    if (matched && matched->opsys) {
        context.put("opsys", matched->opsys);
    }
    // An empty error file, so nothing of an earlier run shows. It is
    // replaced, never written through: a link planted as errors.xml stays
    // pointing where it pointed, and its target is not emptied.
    kx::os::writeFileAtomically("errors.xml", "");
    // The generator, then back to the previous directory (the guard), then
    // the status page, which reads what the run left. Meanwhile a page that
    // knows the run's id (its script sent one) can follow the console
    // output.
    {
        kx::os::writeFileAtomically("orvowizard.txt", "");
        const auto run = KxRunRegistry::shared().begin(request.getParameter("runId"),
                                                       path + "\\" + "orvowizard.txt");
        generate(path + "\\" + "startup.properties", filename, context);
    }
    response.sendRedirect("status?dir=" + kx::urlEncoded(path) +
                          "&tier=" + kx::urlEncoded(wizardType));
    return KxTemplate();
}

void KxOrvoWizard::runGenerator(const KxCString& heading, const KxCString& command) {
    log(heading);
    log(command);
    kx::os::runCommand(command);
}

// ---- walking a settings table ------------------------------------------------------

KxCString KxOrvoWizard::defaultText(SettingDefault byDefault) {
    switch (byDefault) {
        case ProjectsFolder:
            return homeDirectory() + "\\" + "projects";
        case PlatformOfThisSystem:
            return platformTable[defaultPlatformIndex()].label;
        default:
            return "";
    }
}

void KxOrvoWizard::storeDefaults(KxHttpSession& session, std::span<const WizardSetting> settings) {
    for (const WizardSetting& setting : settings) {
        if (setting.kind == Flag) {
            setSessionBool(session, setting.name, setting.byDefault == On);
        } else {
            setSessionString(session, setting.name, defaultText(setting.byDefault),
                             setting.onReset == StripQuotes);
        }
    }
}

void KxOrvoWizard::copyFormFields(KxHttpSession& session, KxHttpServletRequest& request,
                                  std::span<const WizardSetting> settings) {
    for (const WizardSetting& setting : settings) {
        if (!takenAsField(setting)) {
            continue;
        }
        if (setting.kind == Flag) {
            readCheckboxParameter(session, request, setting.name);
        } else {
            readStringParameter(session, request, setting.name);
        }
        if (setting.fromForm == SanitizedField) {
            // The value must not split the generator's command line.
            sanitizeSessionString(session, setting.name, wizardType);
        }
    }
}

void KxOrvoWizard::putSettings(KxContext& context, KxHttpSession& session,
                               std::span<const WizardSetting> settings) {
    auto* source = dynamic_cast<KxSessionSettings*>(context.getSource());
    if (!source) {
        auto settingsSource = std::make_unique<KxSessionSettings>(session, wizardType);
        source = settingsSource.get();
        context.setSource(std::move(settingsSource));
    }
    for (const WizardSetting& setting : settings) {
        if (setting.kind == Flag) {
            source->addFlag(setting.name);
        } else {
            source->addText(setting.name);
        }
    }
}

void KxOrvoWizard::readSettingsFile(KxHttpSession& session, KxProperties& properties,
                                    std::span<const WizardSetting> settings) {
    for (const WizardSetting& setting : settings) {
        if (setting.fromFile != OwnKey) {
            continue;
        }
        if (setting.kind == Flag) {
            readBoolProperty(session, properties, setting.name);
        } else {
            readStringProperty(session, properties, setting.name);
        }
    }
}

KxCString KxOrvoWizard::checkSettings(KxHttpSession& session,
                                      std::span<const WizardSetting> settings) {
    for (const WizardSetting& setting : settings) {
        if (setting.kind != Text) {
            continue;
        }
        const KxCString value = getSessionString(session, setting.name);
        KxCString message;
        switch (setting.check) {
            case SettingCheck::AnyText:
                message = checkSettingText(setting.name, value);
                break;
            case SettingCheck::CommandWord:
                message = checkCommandWord(setting.name, value);
                break;
            case SettingCheck::Options:
                message = checkOptionsText(setting.name, value);
                break;
            case SettingCheck::PlainFileName:
                message = checkPlainFileName(setting.name, value);
                break;
            case SettingCheck::Identifier:
                message = checkIdentifier(setting.name, value);
                break;
        }
        if (!message.empty()) {
            return message;
        }
    }
    return "";
}

void KxOrvoWizard::escapeSettingsForFile(KxContext& context,
                                         std::span<const WizardSetting> settings) {
    for (const WizardSetting& setting : settings) {
        if (setting.inFile == BackslashesDoubled) {
            escapeContextBackslashes(context, setting.name);
        }
    }
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
