#pragma once
// The template engine's servlet base. Every GET and POST request becomes one
// call of processRequest, in which the servlet fills the context and chooses
// the template; a valid template is then rendered into the response as HTML
// with every $ output escaped, and an invalid one (after a redirect or a
// file answer) renders nothing.
#include "platform/servlet/KxServlet.h"
#include "platform/template/KxContext.h"
#include "platform/template/KxTemplate.h"

class KxLumericServlet : public KxHttpServlet {
  public:
    KxLumericServlet() = default;
    ~KxLumericServlet() override = default;

    void destroy() override {}
    // Points the template factory at the web application's "templates"
    // folder and its messages at the servlet log.
    void init() override;
    using KxHttpServlet::init;

    void doGet(KxHttpServletRequest& request, KxHttpServletResponse& response) override;
    void doPost(KxHttpServletRequest& request, KxHttpServletResponse& response) override;

    virtual KxTemplate processRequest(KxHttpServletRequest& request,
                                      KxHttpServletResponse& response, KxContext& context) = 0;

    KxTemplateFactory& getTemplateFactory() { return templateFactory_; }

  protected:
    KxTemplate parseFile(const KxCString& name) const { return templateFactory_.parseFile(name); }

  private:
    void handle(KxHttpServletRequest& request, KxHttpServletResponse& response);

    KxTemplateFactory templateFactory_;
};
