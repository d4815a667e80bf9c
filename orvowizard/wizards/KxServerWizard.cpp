#include "orvowizard/wizards/KxServerWizard.h"

#include "orvowizard/wizards/KxGeneratorCommand.h"

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
    setSessionBool(session, "client", true);
    setSessionBool(session, "server", true);
    setSessionBool(session, "ssl", false);
}

void KxServerWizard::readRequestParameters(KxHttpSession& session, KxHttpServletRequest& request) {
    readCheckboxParameter(session, request, "client");
    readCheckboxParameter(session, request, "server");
    readCheckboxParameter(session, request, "ssl");
}

void KxServerWizard::fillContext(KxContext& context, KxHttpSession& session) {
    putSessionBool(context, session, "client");
    putSessionBool(context, session, "server");
    putSessionBool(context, session, "ssl");
}

void KxServerWizard::loadProperties(KxHttpSession& session, KxProperties& properties) {
    readBoolProperty(session, properties, "client");
    readBoolProperty(session, properties, "server");
    readBoolProperty(session, properties, "ssl");
}

void KxServerWizard::writeProperties(const KxCString& path, KxContext& context) {
    writeTemplateToFile(path, "serverproperties.tl", context);
}

KxCString KxServerWizard::validateInput(KxHttpServletRequest&, KxHttpSession& session) {
    return validateInputFile(getSessionString(session, "filename"));
}
