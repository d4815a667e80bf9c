#pragma once
// The web-service server wizard: turns a WSDL file into a web-service
// project with svcgen. Its own switches: client, server and ssl.
#include "orvowizard/wizard/KxOrvoWizard.h"

class KxServerWizard : public KxOrvoWizard {
  public:
    KxServerWizard() = default;
    ~KxServerWizard() override = default;

    void init() override;
    void generate(const KxCString& propertiesFile, const KxCString& inputFile,
                  KxContext& context) override;
    void initSessionDefaults(KxHttpSession& session) override;
    void readRequestParameters(KxHttpSession& session, KxHttpServletRequest& request) override;
    void fillContext(KxContext& context, KxHttpSession& session) override;
    void loadProperties(KxHttpSession& session, KxProperties& properties) override;
    void writeProperties(const KxCString& path, KxContext& context) override;
    KxCString validateInput(KxHttpServletRequest& request, KxHttpSession& session) override;
};
