#include "orvowizard/wizards/KxClientWizard.h"

#include "orvowizard/wizards/KxGeneratorCommand.h"

namespace {

// The client wizard's own setting.
constexpr WizardSetting kClientSettings[] = {
    {"ssl", SettingKind::Flag, SettingDefault::Off},
};

}  // namespace

void KxClientWizard::init() {
    KxOrvoWizard::init();
    templateFile = "client.tl";
    wizardType = "client";
}

void KxClientWizard::generate(const KxCString& propertiesFile, const KxCString& inputFile,
                              KxContext& context) {
    runGenerator("svcgen command line:",
                 buildGeneratorCommand("svcgen -noserver ", propertiesFile, inputFile, context));
}

void KxClientWizard::initSessionDefaults(KxHttpSession& session) {
    storeDefaults(session, kClientSettings);
}

void KxClientWizard::readRequestParameters(KxHttpSession& session, KxHttpServletRequest& request) {
    copyFormFields(session, request, kClientSettings);
}

void KxClientWizard::fillContext(KxContext& context, KxHttpSession& session) {
    putSettings(context, session, kClientSettings);
}

void KxClientWizard::loadProperties(KxHttpSession& session, KxProperties& properties) {
    readSettingsFile(session, properties, kClientSettings);
}

void KxClientWizard::writeProperties(const KxCString& path, KxContext& context) {
    writeTemplateToFile(path, "clientproperties.tl", context);
}

KxCString KxClientWizard::validateInput(KxHttpServletRequest&, KxHttpSession& session) {
    return validateInputFile(getSessionString(session, "filename"));
}
