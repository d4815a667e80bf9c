#include "orvowizard/entry/KxFactories.h"

#include <new>

#include "orvowizard/pages/KxOrvoHomePage.h"
#include "orvowizard/wizards/KxServerWizard.h"

namespace {

template <class Servlet>
KxServlet* create() {
    return new (std::nothrow) Servlet();
}

}  // namespace

KX_EXPORT KxServlet* createKxServerWizard() { return create<KxServerWizard>(); }
KX_EXPORT KxServlet* createKxOrvoHomePage() { return create<KxOrvoHomePage>(); }
