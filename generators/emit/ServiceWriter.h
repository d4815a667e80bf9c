#pragma once
// The service classes svcgen writes for each port type P of a WSDL file:
//
//   server side  PBase (the service interface, one pure virtual function per
//                operation), PSkeleton (reads a request element, calls the
//                operation, writes the response element), PServletBase
//                (takes a SOAP request, finds its operation and dispatches
//                it through the skeleton), PLocal (the interface, served in
//                process through the same marshalling) and web.xml;
//   client side  PProxyBase (the operations as SOAP calls over an abstract
//                transport) and PClientProxy (the endpoint and a pluggable
//                transport);
//   samples      PImpl and PServlet on the server side, PClient.cpp and
//                main.cpp on the client side;
//   HTML         docs/index.html and a page per class.
#include "generators/emit/DataClassWriter.h"
#include "generators/emit/OutputWriter.h"
#include "generators/wsdl/Wsdl.h"

namespace kx::gen {

struct ServiceOptions {
    CodeOrigin origin;
    KxCString projectName;
    bool server = true;
    bool client = false;
    bool samples = false;
    bool html = false;
    bool ssl = false;  // the client's default endpoint uses https
};

// Writes the files above (the data classes are written apart).
void writeServices(const Wsdl& wsdl, const Schema& schema, const ServiceOptions& options,
                   OutputWriter& output);

}  // namespace kx::gen
