#pragma once
// The code model of a WSDL file's services: per port type the C++ names of
// its classes, operations, parameters and faults, decided once here from the
// WSDL and schema models. The service templates and the operations page read
// it; no name is decided anywhere else.
#include <optional>
#include <set>
#include <vector>

#include "generators/schema/Schema.h"
#include "generators/wsdl/Wsdl.h"

namespace kx::gen {

// One value an operation takes or gives: a message part.
struct ServiceParam {
    KxCString name;  // the C++ parameter name
    QName xml;       // the element that carries it
    KxCString cppType;
    bool isClass = false;
    bool isScalar = false;
    KxCString header;  // its data class's or enumeration's header, without ".h"; empty for none
    TypeUse use;       // how its schema type is held
    bool nillable = false;
};

struct ServiceOperation {
    KxCString xmlName;  // the operation's name in the document
    KxCString method;
    KxCString soapAction;
    KxCString documentation;
    KxCString messages;  // "input -> output", for comments
    std::vector<ServiceParam> inputs;
    std::optional<ServiceParam> result;  // the first output part
    std::vector<ServiceParam> outputs;   // further output parts, given back by reference
    // The parts carried as header blocks (soap:header): those of the request,
    // passed after the inputs, and those of the response, given back by
    // reference after the outputs.
    std::vector<ServiceParam> inputHeaders;
    std::vector<ServiceParam> outputHeaders;
    bool oneWay = true;
    // rpc style: the parts are the children of a wrapper element named after
    // the operation (the response's after the operation and "Response") in
    // the soap:body namespace; document style: the parts' elements are the
    // Body's children.
    bool rpc = false;
    KxCString wrapperNamespace;

    QName requestWrapper() const { return {wrapperNamespace, xmlName}; }
    QName responseWrapper() const { return {wrapperNamespace, xmlName + "Response"}; }
};

// A fault an operation declares (a wsdl:fault, or a soap:headerfault of
// one of its headers): an exception class carrying its detail.
struct ServiceFault {
    KxCString className;
    KxCString message;    // the fault message's name
    ServiceParam detail;  // the element of the message's part
};

struct ServicePort {
    const WsdlPortType* portType = nullptr;
    KxCString prefix;   // P, the port type as an identifier
    KxCString address;  // as the client calls it by default (https when asked)
    // Of the SOAP 1.1 and SOAP 1.2 bindings' first ports, when the port type
    // has both (a client may call either); empty otherwise.
    KxCString address11;
    KxCString address12;
    // The paths the server answers at: those of every SOAP port of the port
    // type, in both versions.
    std::vector<KxCString> paths;
    bool soap12 = false;  // the default: SOAP 1.2 only when there is no 1.1 binding
    std::vector<ServiceOperation> operations;
    std::set<KxCString> classes;       // data classes the operations use
    std::vector<ServiceFault> faults;  // the faults the operations declare, each once
};

// The ports of every port type of the WSDL file, in document order. With
// ssl, a port's http address is given as https.
std::vector<ServicePort> describeServices(const Wsdl& wsdl, const Schema& schema, bool ssl);

// The C++ parameter list of an operation ("int a, const Header& h, Out& b,
// OutHeader& o": inputs, input headers, outputs, output headers); with
// namesInComments the names stand in comments, for bodies that do not use them.
KxCString parameterList(const ServiceOperation& operation, bool namesInComments = false);
// The operation's C++ result type ("void" when it gives nothing).
KxCString resultType(const ServiceOperation& operation);
// "Result qualifier method(parameters)".
KxCString signature(const ServiceOperation& operation, const KxCString& qualifier = {});
// The arguments a call of the operation passes ("a, b").
KxCString argumentList(const ServiceOperation& operation);

// The path web.xml maps a port type's servlet to (without "/*"): its
// address's, or the port type's name when the address has none.
KxCString servletPath(const KxCString& address, const KxCString& prefix);

}  // namespace kx::gen
