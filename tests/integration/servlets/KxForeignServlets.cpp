// A library the container must refuse before it calls anything in it: built
// without the servlet interface version, or (with KX_FOREIGN_VERSION) for
// another one. Its factory returns an object that is no servlet at all, so
// a container that called it and used the result would crash.
#include "platform/servlet/KxServlet.h"

#ifdef KX_FOREIGN_VERSION
extern "C" __attribute__((visibility("default"))) const int kxServletInterfaceVersion =
    KX_FOREIGN_VERSION;
#endif

extern "C" __attribute__((visibility("default"))) KxServlet* createForeignServlet() {
    static long notAServlet[16] = {};
    return reinterpret_cast<KxServlet*>(notAServlet);
}
