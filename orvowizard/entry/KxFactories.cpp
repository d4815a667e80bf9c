#include "orvowizard/entry/KxFactories.h"

#include <new>

#include "orvowizard/pages/KxHtmlDirectoryViewer.h"
#include "orvowizard/pages/KxHtmlFileBrowser.h"
#include "orvowizard/pages/KxLoadProject.h"
#include "orvowizard/pages/KxOrvoHomePage.h"
#include "orvowizard/pages/KxStatusPage.h"
#include "orvowizard/runs/KxRunFollower.h"
#include "orvowizard/tryit/KxTryItPage.h"
#include "orvowizard/wizards/KxClientWizard.h"
#include "orvowizard/wizards/KxFoundationWizard.h"
#include "orvowizard/wizards/KxServerWizard.h"
#include "orvowizard/wizards/KxTavrinWizard.h"

KX_SERVLET_LIBRARY();

namespace {

template <class Servlet>
KxServlet* create() {
    return new (std::nothrow) Servlet();
}

}  // namespace

KX_EXPORT KxServlet* createKxTavrinWizard() {
    return create<KxTavrinWizard>();
}
KX_EXPORT KxServlet* createKxClientWizard() {
    return create<KxClientWizard>();
}
KX_EXPORT KxServlet* createKxServerWizard() {
    return create<KxServerWizard>();
}
KX_EXPORT KxServlet* createKxFoundationWizard() {
    return create<KxFoundationWizard>();
}
KX_EXPORT KxServlet* createKxOrvoHomePage() {
    return create<KxOrvoHomePage>();
}
KX_EXPORT KxServlet* createKxHtmlDirectoryViewer() {
    return create<KxHtmlDirectoryViewer>();
}
KX_EXPORT KxServlet* createKxHtmlFileBrowser() {
    return create<KxHtmlFileBrowser>();
}
KX_EXPORT KxServlet* createKxLoadProject() {
    return create<KxLoadProject>();
}
KX_EXPORT KxServlet* createKxStatusPage() {
    return create<KxStatusPage>();
}
KX_EXPORT KxServlet* createKxRunFollower() {
    return create<KxRunFollower>();
}
KX_EXPORT KxServlet* createKxTryItPage() {
    return create<KxTryItPage>();
}
