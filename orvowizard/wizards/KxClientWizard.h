#pragma once
// The web-service client wizard: turns a WSDL file into a client project
// only, running svcgen with -noserver. Its one switch: ssl.
#include "orvowizard/wizard/KxOrvoWizard.h"

class KxClientWizard : public KxOrvoWizard {
  public:
    KxClientWizard() = default;
    ~KxClientWizard() override = default;

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
