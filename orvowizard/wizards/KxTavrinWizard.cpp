#include "orvowizard/wizards/KxTavrinWizard.h"

#include "orvowizard/common/KxFileUtilities.h"
#include "platform/base/KxText.h"
#include "platform/os/KxAtomicFile.h"

namespace {

// The servlet-project wizard's own settings, in the order they are handled;
// the servlet's name starts empty, as every text does.
constexpr WizardSetting kTavrinSettings[] = {
    {"webxml", SettingKind::Flag, SettingDefault::On},
    {"admin", SettingKind::Flag, SettingDefault::Off},
    {"servletName", SettingKind::Text, SettingDefault::Empty, OnReset::KeepQuotes, FromForm::Field,
     FromFile::OwnKey, InFile::AsIs, SettingCheck::Identifier},
};

}  // namespace

void KxTavrinWizard::init() {
    KxOrvoWizard::init();
    templateFile = "tavrin.tl";
    wizardType = "tavrin";
}

void KxTavrinWizard::writeSourceFile(const KxCString& dir, const KxCString& name,
                                     const KxCString& templateName, KxContext& context) {
    // A file the user has filled is never overwritten.
    const KxCString target = isNonEmptyFile(dir, name) ? name + ".sample" : name;
    writeTemplateToFile(dir + "\\" + target, templateName, context);
}

void KxTavrinWizard::generate(const KxCString& propertiesFile, const KxCString&,
                              KxContext& context) {
    // The settings the run depends on, and the project directory.
    const bool sample = getContextBool(context, "sample");
    const KxCString projectDir = getContextString(context, "projectDir");
    const KxCString servletName = getContextString(context, "servletName");
    const KxCString projectName = getContextString(context, "projectName");
    const bool make = getContextBool(context, "make");
    const bool msvcproject = getContextBool(context, "msvcproject");
    const bool webxml = getContextBool(context, "webxml");
    const KxCString dir = projectDir + "\\" + projectName;

    // The servlet's files, and the description naming them.
    // The names were checked before the run; they are still escaped for the
    // attribute they land in.
    KxCString text =
        KxCString("<tavrin:project xmlns:tavrin='") + kProjectNamespace + "' projectName='";
    kx::appendEscapedMarkup(text, projectName, true);
    text += "'>\n";
    if (sample) {
        text += "  <tavrin:file name='";
        kx::appendEscapedMarkup(text, servletName, true);
        text += "'/>\n";
        writeSourceFile(dir, servletName + ".h", "tavrin/header.tl", context);
        writeSourceFile(dir, servletName + ".cpp", "tavrin/source.tl", context);
    }
    if (webxml) {
        writeSourceFile(dir, "web.xml", "tavrin/webxml.tl", context);
    }
    text += "</tavrin:project>\n";

    // The project description, which prjforge reads, replaced as a whole.
    kx::os::writeFileAtomically(dir + "\\" + projectName + "Project.xml", text + '\n');

    // prjforge writes the build files from the description, when wanted.
    if (make || msvcproject) {
        const KxCString command = "prjforge  -properties " + propertiesFile + " -projectFile " +
                                  projectName + "Project.xml > orvowizard.txt";
        runGenerator("forgeprj command line:", command);
    }
}

void KxTavrinWizard::initSessionDefaults(KxHttpSession& session) {
    storeDefaults(session, kTavrinSettings);
}

void KxTavrinWizard::readRequestParameters(KxHttpSession& session, KxHttpServletRequest& request) {
    copyFormFields(session, request, kTavrinSettings);
}

void KxTavrinWizard::fillContext(KxContext& context, KxHttpSession& session) {
    putSettings(context, session, kTavrinSettings);
}

void KxTavrinWizard::loadProperties(KxHttpSession& session, KxProperties& properties) {
    readSettingsFile(session, properties, kTavrinSettings);
}

void KxTavrinWizard::writeProperties(const KxCString& path, KxContext& context) {
    writeTemplateToFile(path, "tavrinproperties.tl", context);
}

KxCString KxTavrinWizard::validateInput(KxHttpServletRequest&, KxHttpSession& session) {
    const KxCString servletName = getSessionString(session, "servletName");
    if (servletName.empty()) {
        return "Missing Servlet Name";
    }
    // The name becomes a class, two file names in the project directory and
    // words in the build files.
    return checkSettings(session, kTavrinSettings);
}
