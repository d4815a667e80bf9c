#pragma once
// The abstract wizard servlet. It owns the whole request cycle of a wizard
// page: it prepares the user's session, copies the submitted form into it,
// fills the page context, and dispatches the page's operations (Save, Load,
// Browse, Reset, generate, load), sending the browser to the status page
// when one fails. A concrete wizard supplies its template, its type word and
// seven operations for the settings and the generator that are its own.
//
// Every setting lives in the session under the wizard's type word followed
// by the setting's name ("server" and "projectDir" give "serverprojectDir"),
// so the four wizards keep separate settings in one browser session.
#include <optional>
#include <span>

#include "orvowizard/wizard/KxPlatformTable.h"
#include "orvowizard/wizard/KxWizardSetting.h"
#include "platform/servlet/KxProperties.h"
#include "platform/template/KxLumericServlet.h"

class KxOrvoWizard : public KxLumericServlet {
  public:
    KxOrvoWizard() = default;
    ~KxOrvoWizard() override = default;

    void init() override;
    KxTemplate processRequest(KxHttpServletRequest& request, KxHttpServletResponse& response,
                              KxContext& context) override;

    // ---- the concrete wizard's operations --------------------------------------

    // Runs the generator. The current directory is the project directory.
    virtual void generate(const KxCString& propertiesFile, const KxCString& inputFile,
                          KxContext& context) = 0;
    // Stores the wizard's own defaults, after the common ones.
    virtual void initSessionDefaults(KxHttpSession& session) = 0;
    // Copies the wizard's own form fields into the session.
    virtual void readRequestParameters(KxHttpSession& session, KxHttpServletRequest& request) = 0;
    // Puts the wizard's own settings into the page context.
    virtual void fillContext(KxContext& context, KxHttpSession& session) = 0;
    // Copies the wizard's own keys of a loaded startup.properties.
    virtual void loadProperties(KxHttpSession& session, KxProperties& properties) = 0;
    // Writes startup.properties to path from the context.
    virtual void writeProperties(const KxCString& path, KxContext& context);
    // Checks the wizard's own settings; an error message, or "" when valid.
    virtual KxCString validateInput(KxHttpServletRequest& request, KxHttpSession& session) = 0;

    const KxCString& getWizardType() const { return wizardType; }

  protected:
    // ---- page handling -----------------------------------------------------------

    KxCString validateProject(KxHttpServletRequest& request, KxHttpSession& session);
    KxTemplate showProjectsDirectory(KxHttpServletRequest& request,
                                     KxHttpServletResponse& response);
    KxTemplate redirectToErrorPage(KxHttpServletResponse& response, KxHttpSession& session,
                                   const KxCString& message);

    // ---- settings and startup.properties -------------------------------------------

    void resetSession(KxHttpSession& session);
    static int defaultPlatformIndex();
    void copyFormToSession(KxHttpSession& session, KxHttpServletRequest& request);
    void fillContextFromSession(KxContext& context, KxHttpSession& session);
    KxTemplate loadStartupProperties(KxHttpServletRequest& request, KxHttpServletResponse& response,
                                     KxContext& context);
    // Writes projectPath\startup.properties; returns the platform row that
    // matched "compileros", or nullptr.
    const PlatformEntry* writeStartupProperties(KxContext& context, KxHttpSession& session);
    void writeTemplateToFile(const KxCString& path, const KxCString& templateName,
                             KxContext& context);

    // ---- project directory, Save and generation runs -------------------------------

    KxCString createProjectDirectory(KxHttpSession& session);
    KxTemplate saveProject(KxHttpServletRequest& request, KxHttpServletResponse& response,
                           KxContext& context);
    KxTemplate runGeneration(KxHttpServletRequest& request, KxHttpServletResponse& response,
                             KxContext& context);
    // For generate(): logs the heading and the command line, then runs it
    // in the current directory and waits. Its outcome shows on the status
    // page through errors.xml and orvowizard.txt, so the exit status is not
    // looked at.
    void runGenerator(const KxCString& heading, const KxCString& command);

    // ---- walking a settings table ----------------------------------------------------
    // The seven operations above walk the wizard's own table with these, as
    // the common operations walk the table of the common settings.

    void storeDefaults(KxHttpSession& session, std::span<const WizardSetting> settings);
    // Copies the rows taken from the form as a field (sanitizing those that
    // ask for it); rows with a rule of their own are left to the caller.
    void copyFormFields(KxHttpSession& session, KxHttpServletRequest& request,
                        std::span<const WizardSetting> settings);
    // Makes the settings readable by the page: each is read from the
    // session when the page first uses it (the context's KxSessionSettings).
    void putSettings(KxContext& context, KxHttpSession& session,
                     std::span<const WizardSetting> settings);
    // Reads the rows kept under their own key; rows with a rule of their own
    // are left to the caller.
    void readSettingsFile(KxHttpSession& session, KxProperties& properties,
                          std::span<const WizardSetting> settings);
    // Doubles the backslashes of the rows that the file stores so, in the
    // context handed to the properties template.
    void escapeSettingsForFile(KxContext& context, std::span<const WizardSetting> settings);
    // Why the first text setting that fails its check cannot be used, or "".
    KxCString checkSettings(KxHttpSession& session, std::span<const WizardSetting> settings);

    // ---- the session accessors with the wizard's prefix ------------------------------

    void readCheckboxParameter(KxHttpSession& session, KxHttpServletRequest& request,
                               const KxCString& name);
    void readStringParameter(KxHttpSession& session, KxHttpServletRequest& request,
                             const KxCString& name);
    void readStringProperty(KxHttpSession& session, KxProperties& properties,
                            const KxCString& name);
    void readBoolProperty(KxHttpSession& session, KxProperties& properties, const KxCString& name);
    bool getSessionBool(KxHttpSession& session, const KxCString& name);
    KxCString getSessionString(KxHttpSession& session, const KxCString& name);
    void setSessionBool(KxHttpSession& session, const KxCString& name, bool value);
    void setSessionString(KxHttpSession& session, const KxCString& name, const KxCString& value,
                          bool stripQuotes);
    bool getContextBool(KxContext& context, const KxCString& name);
    KxCString getContextString(KxContext& context, const KxCString& name);

    // Set by the concrete wizard's init(); constant afterwards.
    KxCString templateFile;
    KxCString wizardType;

  private:
    KxCString projectPath(KxHttpSession& session);
    void clearErrorMessage(KxHttpSession& session);
    // The session, made ready for this wizard: never expiring when new, with
    // the defaults when this wizard has none stored yet, without an earlier
    // error message.
    KxHttpSession& prepareSession(KxHttpServletRequest& request);
    // The form operation the request asks for, or nothing when it asks for
    // none and the wizard page itself is wanted.
    std::optional<KxTemplate> dispatchOperation(KxHttpServletRequest& request,
                                                KxHttpServletResponse& response, KxContext& context,
                                                KxHttpSession& session, const KxCString& type,
                                                const KxCString& oper);
    KxCString defaultText(SettingDefault byDefault);
    // The special rules of copyFormToSession.
    void copyMakeFlag(KxHttpSession& session, KxHttpServletRequest& request);
    void copyInputFile(KxHttpSession& session, KxHttpServletRequest& request);
    // The special rule of loadStartupProperties for files of an older layout.
    void splitOlderProjectDir(KxHttpSession& session, KxProperties& properties);
};
