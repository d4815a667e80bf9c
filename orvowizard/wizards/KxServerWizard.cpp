#include "orvowizard/wizards/KxServerWizard.h"

#include "orvowizard/wizards/KxGeneratorCommand.h"

namespace {

// The server wizard's own switches, in the order they are handled.
constexpr WizardSetting kServerSettings[] = {
    {"client", SettingKind::Flag, SettingDefault::On},
    {"server", SettingKind::Flag, SettingDefault::On},
    {"ssl", SettingKind::Flag, SettingDefault::Off},
};

}  // namespace

void KxServerWizard::init() {
    KxOrvoWizard::init();
    templateFile = "server.tl";
    wizardType = "server";
}

void KxServerWizard::generate(const KxCString& propertiesFile, const KxCString& inputFile,
                              KxContext& context) {
    runGenerator("svcgen command line:",
                 buildGeneratorCommand("svcgen ", propertiesFile, inputFile, context));
}

void KxServerWizard::initSessionDefaults(KxHttpSession& session) {
    storeDefaults(session, kServerSettings);
}

void KxServerWizard::readRequestParameters(KxHttpSession& session, KxHttpServletRequest& request) {
    copyFormFields(session, request, kServerSettings);
}

void KxServerWizard::fillContext(KxContext& context, KxHttpSession& session) {
    putSettings(context, session, kServerSettings);
}

void KxServerWizard::loadProperties(KxHttpSession& session, KxProperties& properties) {
    readSettingsFile(session, properties, kServerSettings);
}

void KxServerWizard::writeProperties(const KxCString& path, KxContext& context) {
    writeTemplateToFile(path, "serverproperties.tl", context);
}

KxCString KxServerWizard::validateInput(KxHttpServletRequest&, KxHttpSession& session) {
    return validateInputFile(getSessionString(session, "filename"));
}
