#pragma once
// The library's only entry points: one exported factory per servlet class.
// Each returns a new servlet that has not been initialised, or nullptr when
// it cannot be allocated; the caller owns it and deletes it through its
// virtual destructor.
#include "platform/servlet/KxServlet.h"

#define KX_EXPORT extern "C" __attribute__((visibility("default")))

KX_EXPORT KxServlet* createKxTavrinWizard();
KX_EXPORT KxServlet* createKxClientWizard();
KX_EXPORT KxServlet* createKxServerWizard();
KX_EXPORT KxServlet* createKxFoundationWizard();
KX_EXPORT KxServlet* createKxOrvoHomePage();
KX_EXPORT KxServlet* createKxHtmlDirectoryViewer();
KX_EXPORT KxServlet* createKxHtmlFileBrowser();
KX_EXPORT KxServlet* createKxLoadProject();
KX_EXPORT KxServlet* createKxStatusPage();
KX_EXPORT KxServlet* createKxRunFollower();
KX_EXPORT KxServlet* createKxTryItPage();
