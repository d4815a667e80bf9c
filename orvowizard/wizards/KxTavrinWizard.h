#pragma once
// The servlet-project wizard: writes a servlet's sources, a web.xml and a
// project description itself, then runs prjforge on the description when
// build files are wanted. Its own settings: webxml, admin and servletName.
#include "orvowizard/wizard/KxOrvoWizard.h"

class KxTavrinWizard : public KxOrvoWizard {
  public:
    KxTavrinWizard() = default;
    ~KxTavrinWizard() override = default;

    void init() override;
    void generate(const KxCString& propertiesFile, const KxCString& inputFile,
                  KxContext& context) override;
    void initSessionDefaults(KxHttpSession& session) override;
    void readRequestParameters(KxHttpSession& session, KxHttpServletRequest& request) override;
    void fillContext(KxContext& context, KxHttpSession& session) override;
    void loadProperties(KxHttpSession& session, KxProperties& properties) override;
    void writeProperties(const KxCString& path, KxContext& context) override;
    KxCString validateInput(KxHttpServletRequest& request, KxHttpSession& session) override;

    // The namespace of the project description.
    static constexpr const char* kProjectNamespace = "http://schemas.orvowizard.org/tavrin";

  private:
    // Renders templateName into dir\name, or into dir\name.sample beside a
    // plain file that already has content.
    void writeSourceFile(const KxCString& dir, const KxCString& name, const KxCString& templateName,
                         KxContext& context);
};
