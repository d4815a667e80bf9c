#include "orvowizard/wizards/KxServerWizard.h"

#include "orvowizard/wizards/KxGeneratorCommand.h"

namespace {

// The server wizard's own switches.
using enum SettingKind;
using enum SettingDefault;

// clang-format off
constexpr WizardSetting kServerSettings[] = {
    // name     kind  default
    {"client",  Flag, On},
    {"server",  Flag, On},
    {"ssl",     Flag, Off},
};
// clang-format on

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
