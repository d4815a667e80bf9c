#include "generators/model/ServiceModel.h"

#include <algorithm>

#include "generators/model/DataModel.h"
#include "generators/support/Text.h"
#include "generators/wsdl/WsdlHeaders.h"

namespace kx::gen {

namespace {

// Names the generated code uses for its own variables and members; a part or
// operation with such a name gets trailing '_' until it has none of them.
bool isTakenName(const KxCString& name) {
    static const std::set<KxCString> kTaken = {"requestXml",
                                               "requestElement",
                                               "responseXml",
                                               "responseElement",
                                               "returned",
                                               "childXml",
                                               "skeleton",
                                               "service",
                                               "invoke",
                                               "operationFor",
                                               "implementation",
                                               "targetNamespace",
                                               "operationNames",
                                               "endpoint",
                                               "setEndpoint",
                                               "setTransport",
                                               "call",
                                               "defaultEndpoint",
                                               "Transport",
                                               "proxy",
                                               "fault",
                                               "status",
                                               "request",
                                               "response",
                                               "out",
                                               "child",
                                               "body",
                                               "content",
                                               "header",
                                               "version",
                                               "answer",
                                               "service_",
                                               "version_"};
    return kTaken.count(name) != 0;
}

KxCString safeName(const KxCString& xmlName) {
    KxCString name = identifier(xmlName);
    while (isTakenName(name)) {
        name += "_";  // "version" -> "version_", itself a member's name -> "version__"
    }
    return name;
}

// The path part of an address ("http://host:8090/calculator" -> "/calculator").
KxCString addressPath(const KxCString& address) {
    const auto scheme = address.find("://");
    if (scheme == KxCString::npos) {
        return {};
    }
    const auto path = address.find('/', scheme + 3);
    return path == KxCString::npos ? KxCString() : address.substr(path);
}

// Builds the ports: resolves parts against the schema and keeps the names
// of one operation's parameters apart.
class ServiceModelBuilder {
  public:
    ServiceModelBuilder(const Wsdl& wsdl, const Schema& schema, bool ssl)
        : wsdl_(wsdl), schema_(schema), ssl_(ssl) {}

    ServicePort port(const WsdlPortType& portType) const;

  private:
    std::optional<ServiceParam> paramOf(const WsdlPart& part) const;
    ServiceOperation operation(const WsdlOperation& operation, const WsdlBinding* binding,
                               ServicePort& port) const;
    const WsdlBindingOperation* bind(ServiceOperation& code, const WsdlBinding* binding) const;
    void addParam(const WsdlPart& part, std::vector<ServiceParam>& into, std::set<KxCString>& names,
                  ServicePort& port) const;
    std::vector<const WsdlPart*> bodyParts(const WsdlMessage& message,
                                           const std::vector<WsdlHeader>& headers) const;
    void addAddresses(const WsdlPortType& portType, ServicePort& port) const;
    void addFaults(const WsdlOperation& operation, ServicePort& port) const;
    void addFault(const WsdlMessage* message, const WsdlPart* part, ServicePort& port) const;

    const Wsdl& wsdl_;
    const Schema& schema_;
    bool ssl_;
};

std::optional<ServiceParam> ServiceModelBuilder::paramOf(const WsdlPart& part) const {
    std::optional<TypeUse> use;
    bool nillable = false;
    if (part.elementName) {
        const GlobalElement* element = schema_.element(*part.elementName);
        use = element != nullptr ? element->use : std::nullopt;
        nillable = element != nullptr && element->nillable;
    } else if (part.typeName) {
        use = schema_.typeUse(*part.typeName);
    }
    if (!use) {
        return std::nullopt;
    }
    KxCString header;
    if (use->isClass) {
        header = schema_.types()[static_cast<std::size_t>(use->classIndex)].className;
    } else if (use->simple.enumIndex >= 0) {
        header = schema_.enums()[static_cast<std::size_t>(use->simple.enumIndex)].className;
    }
    return ServiceParam{safeName(part.name),
                        part.elementName ? *part.elementName : QName{KxCString(), part.name},
                        use->cppType,
                        use->isClass,
                        !use->isClass && isScalarKind(use->simple),
                        header,
                        *use,
                        nillable};
}

ServicePort ServiceModelBuilder::port(const WsdlPortType& portType) const {
    ServicePort port;
    port.portType = &portType;
    port.prefix = identifier(portType.name);
    const WsdlBinding* binding = wsdl_.bindingOf(portType);
    port.soap12 = binding != nullptr && binding->soap12;
    addAddresses(portType, port);
    std::set<KxCString> methods;
    for (const WsdlOperation& operation : portType.operations) {
        if (!operation.hasInput) {
            continue;  // reported by the checks
        }
        ServiceOperation code = this->operation(operation, binding, port);
        code.method = safeName(operation.name);
        for (int suffix = 2; methods.count(code.method) != 0; ++suffix) {
            code.method = safeName(operation.name) + std::to_string(suffix);
        }
        methods.insert(code.method);
        addFaults(operation, port);
        port.operations.push_back(std::move(code));
    }
    return port;
}

// The addresses a client calls and the paths a server answers at. The
// default binding is the first SOAP 1.1 one, else the first SOAP 1.2 one.
void ServiceModelBuilder::addAddresses(const WsdlPortType& portType, ServicePort& port) const {
    const auto secured = [this](const KxCString& address) {
        return ssl_ && address.rfind("http://", 0) == 0 ? "https://" + address.substr(7) : address;
    };
    const WsdlBinding* first[2] = {nullptr, nullptr};  // SOAP 1.1, SOAP 1.2
    for (const WsdlBinding* binding : wsdl_.soapBindingsOf(portType)) {
        const WsdlBinding*& ofVersion = first[binding->soap12 ? 1 : 0];
        ofVersion = ofVersion != nullptr ? ofVersion : binding;
        for (const KxCString& address : wsdl_.addressesOf(*binding)) {
            const KxCString path = servletPath(address, port.prefix);
            if (std::find(port.paths.begin(), port.paths.end(), path) == port.paths.end()) {
                port.paths.push_back(path);
            }
        }
    }
    const auto addressOf = [&](const WsdlBinding* binding) {
        const std::vector<KxCString> addresses = wsdl_.addressesOf(*binding);
        return addresses.empty() ? KxCString() : secured(addresses.front());
    };
    port.address = secured(wsdl_.addressOf(portType));
    if (first[0] != nullptr && first[1] != nullptr) {
        port.address11 = addressOf(first[0]);
        port.address12 = addressOf(first[1]);
        port.address = port.address11.empty() ? port.address : port.address11;
    }
}

// The SOAP action, style and body namespace the binding gives the operation;
// the binding's operation (the last of that name), or nullptr.
const WsdlBindingOperation* ServiceModelBuilder::bind(ServiceOperation& code,
                                                      const WsdlBinding* binding) const {
    KxCString style = binding != nullptr ? binding->style : KxCString();
    const WsdlBindingOperation* found = nullptr;
    if (binding != nullptr) {
        for (const WsdlBindingOperation& bound : binding->operations) {
            if (bound.name == code.xmlName) {
                code.soapAction = bound.soapAction;
                style = bound.style.empty() ? style : bound.style;
                code.wrapperNamespace = bound.bodyNamespace;
                found = &bound;
            }
        }
    }
    code.rpc = style == "rpc";
    if (code.rpc && code.wrapperNamespace.empty()) {
        code.wrapperNamespace = wsdl_.targetNamespace;
    }
    return found;
}

void ServiceModelBuilder::addParam(const WsdlPart& part, std::vector<ServiceParam>& into,
                                   std::set<KxCString>& names, ServicePort& port) const {
    std::optional<ServiceParam> param = paramOf(part);
    if (!param) {
        return;
    }
    const KxCString wanted = param->name;
    for (int suffix = 2; names.count(param->name) != 0; ++suffix) {
        param->name = wanted + std::to_string(suffix);
    }
    names.insert(param->name);
    if (!param->header.empty()) {
        port.classes.insert(param->header);
    }
    into.push_back(*param);
}

// The parts of the message in the Body: all but those its headers carry.
std::vector<const WsdlPart*> ServiceModelBuilder::bodyParts(
    const WsdlMessage& message, const std::vector<WsdlHeader>& headers) const {
    std::vector<const WsdlPart*> parts;
    for (const WsdlPart& part : message.parts) {
        const bool inHeader = std::any_of(
            headers.begin(), headers.end(),
            [&](const WsdlHeader& header) { return headerPart(wsdl_, header) == &part; });
        if (!inHeader) {
            parts.push_back(&part);
        }
    }
    return parts;
}

ServiceOperation ServiceModelBuilder::operation(const WsdlOperation& operation,
                                                const WsdlBinding* binding,
                                                ServicePort& port) const {
    ServiceOperation code;
    code.xmlName = operation.name;
    code.documentation = operation.documentation;
    code.messages = operation.input + (operation.output.empty() ? "" : " -> " + operation.output);
    const WsdlBindingOperation* bound = bind(code, binding);
    static const std::vector<WsdlHeader> kNoHeaders;
    const std::vector<WsdlHeader>& inHeaders = bound ? bound->inputHeaders : kNoHeaders;
    const std::vector<WsdlHeader>& outHeaders = bound ? bound->outputHeaders : kNoHeaders;
    std::set<KxCString> names;
    if (const WsdlMessage* input = wsdl_.findMessage(operation.inputName)) {
        for (const WsdlPart* part : bodyParts(*input, inHeaders)) {
            addParam(*part, code.inputs, names, port);
        }
    }
    if (const WsdlMessage* output = wsdl_.findMessage(operation.outputName)) {
        code.oneWay = false;
        std::vector<ServiceParam> outputs;
        for (const WsdlPart* part : bodyParts(*output, outHeaders)) {
            addParam(*part, outputs, names, port);
        }
        if (!outputs.empty()) {
            code.result = outputs.front();
            code.outputs.assign(outputs.begin() + 1, outputs.end());
        }
    }
    for (const auto& [headers, into] :
         {std::pair{&inHeaders, &code.inputHeaders}, std::pair{&outHeaders, &code.outputHeaders}}) {
        for (const WsdlHeader& header : *headers) {
            if (const WsdlPart* part = headerPart(wsdl_, header)) {
                addParam(*part, *into, names, port);
            }
            for (const WsdlHeader& fault : header.faults) {
                addFault(wsdl_.findMessage(fault.messageName), headerPart(wsdl_, fault), port);
            }
        }
    }
    if (code.oneWay) {
        code.outputHeaders.clear();  // a one-way operation answers nothing
    }
    return code;
}

// The faults the operation declares that the port does not know yet.
void ServiceModelBuilder::addFaults(const WsdlOperation& operation, ServicePort& port) const {
    for (const WsdlOperation::Fault& fault : operation.faults) {
        const WsdlMessage* message = wsdl_.findMessage(fault.messageName);
        addFault(message, message && !message->parts.empty() ? &message->parts.front() : nullptr,
                 port);
    }
}

// The fault whose detail is the part of the message, unless the port knows it.
void ServiceModelBuilder::addFault(const WsdlMessage* message, const WsdlPart* part,
                                   ServicePort& port) const {
    if (message == nullptr || part == nullptr ||
        std::any_of(port.faults.begin(), port.faults.end(),
                    [&](const ServiceFault& known) { return known.message == message->name; })) {
        return;
    }
    std::optional<ServiceParam> detail = paramOf(*part);
    if (!detail) {
        return;
    }
    if (!detail->header.empty()) {
        port.classes.insert(detail->header);
    }
    KxCString className = upperFirst(identifier(message->name));
    if (!className.ends_with("Fault")) {
        className += "Fault";
    }
    port.faults.push_back({className, message->name, *detail});
}

}  // namespace

std::vector<ServicePort> describeServices(const Wsdl& wsdl, const Schema& schema, bool ssl) {
    const ServiceModelBuilder builder(wsdl, schema, ssl);
    std::vector<ServicePort> ports;
    for (const WsdlPortType& portType : wsdl.portTypes) {
        // A port type bound only by HTTP GET or POST (beside its SOAP twin,
        // as services publish them) is not served: the checks warn.
        if (wsdl.bindingOf(portType) != nullptr && wsdl.soapBindingsOf(portType).empty()) {
            continue;
        }
        ports.push_back(builder.port(portType));
    }
    return ports;
}

KxCString parameterList(const ServiceOperation& operation, bool namesInComments) {
    KxCString text;
    const auto name = [&](const ServiceParam& param) {
        return namesInComments ? "/*" + param.name + "*/" : param.name;
    };
    for (const ServiceParam& param : operation.inputs) {
        text += (text.empty() ? "" : ", ") + parameterType(param.cppType, param.isScalar) + " " +
                name(param);
    }
    for (const ServiceParam& param : operation.inputHeaders) {
        text += (text.empty() ? "" : ", ") + parameterType(param.cppType, param.isScalar) + " " +
                name(param);
    }
    for (const auto* outputs : {&operation.outputs, &operation.outputHeaders}) {
        for (const ServiceParam& param : *outputs) {
            text += (text.empty() ? "" : ", ") + param.cppType + "& " + name(param);
        }
    }
    return text;
}

KxCString resultType(const ServiceOperation& operation) {
    return operation.result ? operation.result->cppType : KxCString("void");
}

KxCString signature(const ServiceOperation& operation, const KxCString& qualifier) {
    return resultType(operation) + " " + qualifier + operation.method + "(" +
           parameterList(operation) + ")";
}

KxCString argumentList(const ServiceOperation& operation) {
    KxCString text;
    for (const auto* params : {&operation.inputs, &operation.inputHeaders, &operation.outputs,
                               &operation.outputHeaders}) {
        for (const ServiceParam& param : *params) {
            text += (text.empty() ? "" : ", ") + param.name;
        }
    }
    return text;
}

KxCString servletPath(const KxCString& address, const KxCString& prefix) {
    KxCString path = addressPath(address);
    return path.empty() || path == "/" ? "/" + prefix : path;
}

}  // namespace kx::gen
