#pragma once
// The header blocks of a SOAP binding: soap:header and soap:headerfault
// (SOAP 1.1 and 1.2 bindings alike) read from a binding operation's input or
// output, the parts they name found, and their references checked.
#include <vector>

#include "generators/wsdl/Wsdl.h"

namespace kx::gen {

// The soap:header elements of a binding operation's <input> or <output>,
// with their soap:headerfault elements.
std::vector<WsdlHeader> readHeaders(const XmlElement& message);

// The part a header (or header fault) names; nullptr when its message or
// the part is missing.
const WsdlPart* headerPart(const Wsdl& wsdl, const WsdlHeader& header);

// Reports the headers of every binding whose message or part is not
// defined, that use SOAP encoding or name a complex type (errors), and those
// whose part names a simple type, sent as an unqualified element (a warning).
void checkHeaders(const Wsdl& wsdl, const Schema& schema, Diagnostics& diagnostics);

}  // namespace kx::gen
