#include "orvowizard/wizards/KxClientWizard.h"

#include "orvowizard/wizards/KxGeneratorCommand.h"

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
    setSessionBool(session, "ssl", false);
}

void KxClientWizard::readRequestParameters(KxHttpSession& session, KxHttpServletRequest& request) {
    readCheckboxParameter(session, request, "ssl");
}

void KxClientWizard::fillContext(KxContext& context, KxHttpSession& session) {
    putSessionBool(context, session, "ssl");
}

void KxClientWizard::loadProperties(KxHttpSession& session, KxProperties& properties) {
    readBoolProperty(session, properties, "ssl");
}

void KxClientWizard::writeProperties(const KxCString& path, KxContext& context) {
    writeTemplateToFile(path, "clientproperties.tl", context);
}

KxCString KxClientWizard::validateInput(KxHttpServletRequest&, KxHttpSession& session) {
    return validateInputFile(getSessionString(session, "filename"));
}
