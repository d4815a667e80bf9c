#include "orvowizard/wizards/KxFoundationWizard.h"

#include "orvowizard/wizards/KxGeneratorCommand.h"

namespace {

// The data-binding wizard's own settings. The file stores both directories
// with doubled backslashes, which reading it undoes.
constexpr WizardSetting kFoundationSettings[] = {
    {"externalmarshaller", SettingKind::Flag, SettingDefault::Off},
    {"docsDir", SettingKind::Text, SettingDefault::Empty, OnReset::KeepQuotes, FromForm::Field,
     FromFile::OwnKey, InFile::BackslashesDoubled},
    {"incDir", SettingKind::Text, SettingDefault::Empty, OnReset::KeepQuotes, FromForm::Field,
     FromFile::OwnKey, InFile::BackslashesDoubled},
};

}  // namespace

void KxFoundationWizard::init() {
    KxOrvoWizard::init();
    templateFile = "foundation.tl";
    wizardType = "foundation";
}

void KxFoundationWizard::generate(const KxCString& propertiesFile, const KxCString& inputFile,
                                  KxContext& context) {
    runGenerator("bindgen command line:",
                 buildGeneratorCommand("bindgen ", propertiesFile, inputFile, context));
}

void KxFoundationWizard::initSessionDefaults(KxHttpSession& session) {
    storeDefaults(session, kFoundationSettings);
}

void KxFoundationWizard::readRequestParameters(KxHttpSession& session,
                                               KxHttpServletRequest& request) {
    copyFormFields(session, request, kFoundationSettings);
}

void KxFoundationWizard::fillContext(KxContext& context, KxHttpSession& session) {
    putSettings(context, session, kFoundationSettings);
}

void KxFoundationWizard::loadProperties(KxHttpSession& session, KxProperties& properties) {
    readSettingsFile(session, properties, kFoundationSettings);
}

void KxFoundationWizard::writeProperties(const KxCString& path, KxContext& context) {
    // The file's context lies in front of the page context, so the doubled
    // copies go into the file and the page keeps the plain values.
    escapeSettingsForFile(context, kFoundationSettings);
    writeTemplateToFile(path, "foundationproperties.tl", context);
}

KxCString KxFoundationWizard::validateInput(KxHttpServletRequest&, KxHttpSession& session) {
    if (KxCString message = checkSettings(session, kFoundationSettings); !message.empty()) {
        return message;
    }
    return validateInputFile(getSessionString(session, "filename"));
}
