#include "orvowizard/wizards/KxFoundationWizard.h"

#include "orvowizard/common/KxContextAccessors.h"
#include "orvowizard/common/KxFieldChecks.h"
#include "orvowizard/wizards/KxGeneratorCommand.h"

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
    setSessionBool(session, "externalmarshaller", false);
    setSessionString(session, "docsDir", "", false);
    setSessionString(session, "incDir", "", false);
}

void KxFoundationWizard::readRequestParameters(KxHttpSession& session,
                                               KxHttpServletRequest& request) {
    readCheckboxParameter(session, request, "externalmarshaller");
    readStringParameter(session, request, "docsDir");
    readStringParameter(session, request, "incDir");
}

void KxFoundationWizard::fillContext(KxContext& context, KxHttpSession& session) {
    putSessionBool(context, session, "externalmarshaller");
    putSessionString(context, session, "docsDir");
    putSessionString(context, session, "incDir");
}

void KxFoundationWizard::loadProperties(KxHttpSession& session, KxProperties& properties) {
    readStringProperty(session, properties, "docsDir");
    readStringProperty(session, properties, "incDir");
    readBoolProperty(session, properties, "externalmarshaller");
}

void KxFoundationWizard::writeProperties(const KxCString& path, KxContext& context) {
    // The file's context lies in front of the page context, so the doubled
    // copies go into the file and the page keeps the plain values.
    escapeContextBackslashes(context, "docsDir");
    escapeContextBackslashes(context, "incDir");
    writeTemplateToFile(path, "foundationproperties.tl", context);
}

KxCString KxFoundationWizard::validateInput(KxHttpServletRequest&, KxHttpSession& session) {
    for (const char* name : {"docsDir", "incDir"}) {
        if (KxCString message = checkSettingText(name, getSessionString(session, name));
            !message.empty()) {
            return message;
        }
    }
    return validateInputFile(getSessionString(session, "filename"));
}
