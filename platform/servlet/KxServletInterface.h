#pragma once
// The version of the servlet interface (the classes of KxServlet.h and what
// they use) that a servlet library was built against. Every servlet library
// says KX_SERVLET_LIBRARY(); once, in one of its files: the container reads
// the exported version before it calls any factory, and refuses a library
// without it or with another one, whose servlets would not match its own
// classes. Raise the version whenever a change to these classes breaks
// libraries built before it.
#define KX_SERVLET_INTERFACE_VERSION 2

// The exported symbol the container looks up.
#define KX_SERVLET_INTERFACE_SYMBOL "kxServletInterfaceVersion"

extern "C" __attribute__((visibility("default"))) const int kxServletInterfaceVersion;

#define KX_SERVLET_LIBRARY()                                                                \
    extern "C" __attribute__((visibility("default"))) const int kxServletInterfaceVersion = \
        KX_SERVLET_INTERFACE_VERSION
