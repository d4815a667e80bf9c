#pragma once
// The XML data-binding wizard: turns an XSD file into data classes with
// bindgen. Its own settings: externalmarshaller, docsDir and incDir.
#include "orvowizard/wizard/KxOrvoWizard.h"

class KxFoundationWizard : public KxOrvoWizard {
  public:
    KxFoundationWizard() = default;
    ~KxFoundationWizard() override = default;

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
