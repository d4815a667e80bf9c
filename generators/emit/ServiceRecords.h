#pragma once
// The values the service templates (generators/templates/service) see: the
// code model's ports, operations, parameters and faults as template records.
// Names the model decided are plain texts; everything taken from the WSDL
// file (XML names, namespaces, actions, addresses, documentation) is an
// input text that a template writes only through $cpp or $xml.
#include "generators/model/ServiceModel.h"
#include "platform/template/KxContextObject.h"

namespace kx::gen {

// A port as the templates see it:
//   name, documentation, address      the port type's, from the WSDL file
//   prefix, soap12, soapVersion       P, and the SOAP version its binding uses
//   classes, faultHeaders             data class headers (without ".h") its
//                                     operations, and its faults, use
//   operations, faults, rpcOperations its operations, faults, and the names of
//                                     those in rpc style
// and an operation: name, action, documentation, messages, wrapperNs (input);
// method, resultType, parameters, unnamedParameters, arguments, signature;
// inputs, outputs, inputHeaders, outputHeaders (the soap:header parts of the
// request and of the response), allParams, result and firstInput (when there
// are any);
// oneWay, rpc. A parameter: name, cppType, isClass, isScalar, ns, local,
// shown ({ns}local). A fault: className, message, detail.
KxContextObject portRecord(const ServicePort& port);
// An operation as the templates see it (as in portRecord), with classInputs:
// the inputs of a data class, whose missing fields the proxy checks.
KxContextObject operationRecord(const ServiceOperation& operation);

}  // namespace kx::gen
