#include "generators/emit/ServiceWriter.h"

#include <algorithm>
#include <optional>
#include <set>

#include "generators/emit/OperationsWriter.h"
#include "generators/emit/RuntimeHeaders.h"
#include "generators/support/Text.h"

namespace kx::gen {

namespace {

// One value an operation takes or gives: a message part.
struct Param {
    KxCString name;  // the C++ parameter name
    QName xml;       // the element that carries it
    KxCString cppType;
    bool isClass = false;
    bool isScalar = false;
    KxCString header;  // the header of its data class or enumeration; empty for none
    TypeUse use;       // how its schema type is held
    bool nillable = false;
};

struct OperationCode {
    KxCString xmlName;  // the operation's name in the document
    KxCString method;
    KxCString soapAction;
    KxCString documentation;
    KxCString messages;  // "input -> output", for comments
    std::vector<Param> inputs;
    std::optional<Param> result;  // the first output part
    std::vector<Param> outputs;   // further output parts, given back by reference
    bool oneWay = true;
    // rpc style: the parts are the children of a wrapper element named after
    // the operation (the response's after the operation and "Response") in
    // the soap:body namespace; document style: the parts' elements are the
    // Body's children.
    bool rpc = false;
    KxCString wrapperNamespace;
};

// A fault an operation declares: an exception class carrying its detail.
struct FaultCode {
    KxCString className;
    KxCString message;  // the fault message's name
    Param detail;       // the element of the message's part
};

struct PortCode {
    const WsdlPortType* portType = nullptr;
    KxCString prefix;  // P, the port type as an identifier
    KxCString address;
    bool soap12 = false;
    std::vector<OperationCode> operations;
    std::set<KxCString> classes;    // data classes the operations use
    std::vector<FaultCode> faults;  // the faults the operations declare, each once
};

// What a documentation page says about one generated class.
struct ClassDoc {
    KxCString name;
    KxCString summary;
    KxCString files;
    std::vector<std::pair<KxCString, KxCString>> members;  // declaration, description
};

// Names the generated code uses for its own variables and members; a part or
// operation with such a name gets a trailing '_'.
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
                                               "content"};
    return kTaken.count(name) != 0;
}

KxCString safeName(const KxCString& xmlName) {
    KxCString name = identifier(xmlName);
    return isTakenName(name) ? name + "_" : name;
}

class ServiceWriter {
  public:
    ServiceWriter(const Wsdl& wsdl, const Schema& schema, const ServiceOptions& options,
                  OutputWriter& output)
        : wsdl_(wsdl), schema_(schema), options_(options), output_(output) {}

    void writeAll();

  private:
    PortCode describe(const WsdlPortType& portType) const;
    std::optional<Param> paramOf(const WsdlPart& part) const;

    KxCString head(const KxCString& file) const { return generatedComment(options_.origin, file); }
    KxCString includesOf(const PortCode& port) const;
    static KxCString signature(const OperationCode& operation, const KxCString& qualifier);
    static KxCString arguments(const OperationCode& operation);
    static KxCString buildRequest(const OperationCode& operation);
    static KxCString readResponse(const OperationCode& operation, const KxCString& subject);

    void writeBase(const PortCode& port);
    void writeFaults(const PortCode& port);
    void writeSkeleton(const PortCode& port);
    void writeServletBase(const PortCode& port);
    void writeLocal(const PortCode& port);
    void writeProxyBase(const PortCode& port);
    void writeClientProxy(const PortCode& port);
    void writeServerSamples(const PortCode& port, bool firstPort);
    void writeClientSample(const PortCode& port);
    void writeMain(const std::vector<PortCode>& ports);
    void writeWebXml(const std::vector<PortCode>& ports);
    void writeOperations(const std::vector<PortCode>& ports);
    void writeDocs(const std::vector<PortCode>& ports);

    KxCString libraryName() const { return "lib" + options_.projectName + ".so"; }

    const Wsdl& wsdl_;
    const Schema& schema_;
    const ServiceOptions& options_;
    OutputWriter& output_;
    std::vector<ClassDoc> docs_;
};

std::optional<Param> ServiceWriter::paramOf(const WsdlPart& part) const {
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
    return Param{safeName(part.name),
                 part.elementName ? *part.elementName : QName{KxCString(), part.name},
                 use->cppType,
                 use->isClass,
                 !use->isClass && isScalarKind(use->simple),
                 header,
                 *use,
                 nillable};
}

PortCode ServiceWriter::describe(const WsdlPortType& portType) const {
    PortCode port;
    port.portType = &portType;
    port.prefix = identifier(portType.name);
    port.address = wsdl_.addressOf(portType);
    if (options_.ssl && port.address.rfind("http://", 0) == 0) {
        port.address = "https://" + port.address.substr(7);
    }
    const WsdlBinding* binding = wsdl_.bindingOf(portType);
    port.soap12 = binding != nullptr && binding->soap12;
    std::set<KxCString> methods;
    for (const WsdlOperation& operation : portType.operations) {
        if (!operation.hasInput) {
            continue;  // reported by the checks
        }
        OperationCode code;
        code.xmlName = operation.name;
        code.method = safeName(operation.name);
        for (int suffix = 2; methods.count(code.method) != 0; ++suffix) {
            code.method = safeName(operation.name) + std::to_string(suffix);
        }
        methods.insert(code.method);
        code.documentation = operation.documentation;
        code.messages =
            operation.input + (operation.output.empty() ? "" : " -> " + operation.output);
        KxCString style = binding != nullptr ? binding->style : KxCString();
        if (binding != nullptr) {
            for (const WsdlBindingOperation& bound : binding->operations) {
                if (bound.name == operation.name) {
                    code.soapAction = bound.soapAction;
                    style = bound.style.empty() ? style : bound.style;
                    code.wrapperNamespace = bound.bodyNamespace;
                }
            }
        }
        code.rpc = style == "rpc";
        if (code.rpc && code.wrapperNamespace.empty()) {
            code.wrapperNamespace = wsdl_.targetNamespace;
        }
        std::set<KxCString> names;
        auto addParam = [&](const WsdlPart& part, std::vector<Param>& into) {
            std::optional<Param> param = paramOf(part);
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
        };
        if (const WsdlMessage* input = wsdl_.findMessage(operation.input)) {
            for (const WsdlPart& part : input->parts) {
                addParam(part, code.inputs);
            }
        }
        if (const WsdlMessage* output = wsdl_.findMessage(operation.output)) {
            code.oneWay = false;
            std::vector<Param> outputs;
            for (const WsdlPart& part : output->parts) {
                addParam(part, outputs);
            }
            if (!outputs.empty()) {
                code.result = outputs.front();
                code.outputs.assign(outputs.begin() + 1, outputs.end());
            }
        }
        for (const auto& [faultMessage, at] : operation.faults) {
            const WsdlMessage* message = wsdl_.findMessage(faultMessage);
            if (message == nullptr || message->parts.empty() ||
                std::any_of(port.faults.begin(), port.faults.end(), [&](const FaultCode& known) {
                    return known.message == message->name;
                })) {
                continue;
            }
            std::optional<Param> detail = paramOf(message->parts.front());
            if (!detail) {
                continue;
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
        port.operations.push_back(std::move(code));
    }
    return port;
}

KxCString ServiceWriter::includesOf(const PortCode& port) const {
    KxCString text = "#include <string>\n\n#include \"" + KxCString(kRuntimeHeader) + "\"\n";
    for (const KxCString& name : port.classes) {
        text += "#include \"" + name + ".h\"\n";
    }
    if (!port.faults.empty()) {
        text += "#include \"" + port.prefix + "Faults.h\"\n";
    }
    return text;
}

KxCString ServiceWriter::signature(const OperationCode& operation, const KxCString& qualifier) {
    KxCString text = (operation.result ? operation.result->cppType : KxCString("void")) + " " +
                     qualifier + operation.method + "(";
    bool first = true;
    for (const Param& param : operation.inputs) {
        text +=
            (first ? "" : ", ") + parameterType(param.cppType, param.isScalar) + " " + param.name;
        first = false;
    }
    for (const Param& param : operation.outputs) {
        text += (first ? "" : ", ") + param.cppType + "& " + param.name;
        first = false;
    }
    return text + ")";
}

KxCString ServiceWriter::arguments(const OperationCode& operation) {
    KxCString text;
    for (const Param& param : operation.inputs) {
        text += (text.empty() ? "" : ", ") + param.name;
    }
    for (const Param& param : operation.outputs) {
        text += (text.empty() ? "" : ", ") + param.name;
    }
    return text;
}

// The statements that write a value as its element to `out`.
KxCString appendValue(const Param& param, const KxCString& value) {
    if (param.isClass) {
        return "    " + value + ".writeXml(out, " + literalNames(param.xml) + ");\n";
    }
    return "    out.start(" + literalNames(param.xml) + ");\n    out.text(orvo::toText(" + value +
           "));\n    out.end();\n";
}

// The loop that reads a value from its element among the children of
// `parent`.
KxCString readValue(const Param& param, const KxCString& variable, const KxCString& parent) {
    return "    for (orvo::Element child = " + parent +
           ".firstChild(); child; child = child.nextSibling()) {\n"
           "        if (child.is(" +
           literalNames(param.xml) + ")) {\n            " +
           (param.isClass ? variable + ".readXml(child);\n"
                          : "orvo::readValue(child, child.text(), " + variable + ");\n") +
           "        }\n    }\n";
}

KxCString declareValue(const Param& param, const KxCString& name) {
    return "    " + param.cppType + " " + name + (param.isClass ? ";\n" : "{};\n");
}

QName requestWrapper(const OperationCode& operation) {
    return {operation.wrapperNamespace, operation.xmlName};
}

QName responseWrapper(const OperationCode& operation) {
    return {operation.wrapperNamespace, operation.xmlName + "Response"};
}

// The condition, on `operation`, under which the request is an rpc wrapper.
KxCString rpcCondition(const PortCode& port) {
    KxCString condition;
    for (const OperationCode& operation : port.operations) {
        if (operation.rpc) {
            condition += (condition.empty() ? "" : " || ") + KxCString("operation == ") +
                         cppLiteral(operation.xmlName);
        }
    }
    return condition.empty() ? KxCString("false") : condition;
}

KxCString soapVersion(const PortCode& port) {
    return port.soap12 ? "orvo::SoapVersion::Soap12" : "orvo::SoapVersion::Soap11";
}

// Statements that write the request of the operation into the Body being
// written to `out`.
KxCString ServiceWriter::buildRequest(const OperationCode& operation) {
    KxCString text;
    if (operation.rpc) {
        text += "    out.start(" + literalNames(requestWrapper(operation)) + ");\n";
    }
    for (const Param& param : operation.inputs) {
        text += appendValue(param, param.name);
    }
    return operation.rpc ? text + "    out.end();\n" : text;
}

// Statements that read the response from `responseElement` (the Body, or the
// rpc wrapper) and return the result (and fill the output parameters).
KxCString ServiceWriter::readResponse(const OperationCode& operation, const KxCString& subject) {
    KxCString text =
        "    if (!responseElement) {\n        throw orvo::Fault(\"Server\", " +
        cppLiteral("the response of " + operation.xmlName +
                   (subject.empty() ? KxCString() : " " + subject) + " holds no element") +
        ");\n    }\n";
    if (operation.result) {
        text += declareValue(*operation.result, "returned");
        text += readValue(*operation.result, "returned", "responseElement");
    }
    for (const Param& param : operation.outputs) {
        text += readValue(param, param.name, "responseElement");
    }
    if (operation.result) {
        text += "    return returned;\n";
    }
    return text;
}

void ServiceWriter::writeFaults(const PortCode& port) {
    if (port.faults.empty()) {
        return;
    }
    const KxCString name = port.prefix + "Faults";
    KxCString header = head(name + ".h") + "#pragma once\n\n#include <string>\n\n#include \"" +
                       kRuntimeHeader + "\"\n";
    std::set<KxCString> headers;
    for (const FaultCode& fault : port.faults) {
        if (!fault.detail.header.empty()) {
            headers.insert(fault.detail.header);
        }
    }
    for (const KxCString& included : headers) {
        header += "#include \"" + included + ".h\"\n";
    }
    KxCString source = head(name + ".cpp") + "#include \"" + name + ".h\"\n\n#include <utility>\n";
    ClassDoc doc{name,
                 "The faults the operations of " + port.portType->name +
                     " declare, as exceptions carrying their detail.",
                 name + ".h, " + name + ".cpp",
                 {}};
    for (const FaultCode& fault : port.faults) {
        const Param& detail = fault.detail;
        const KxCString& c = fault.className;
        header += "\n" +
                  cppComment("The fault " + fault.message + ": its detail is the element " +
                             detail.xml.shown() +
                             ". Thrown by the service, it reaches the client as this class.") +
                  "class " + c + " : public orvo::Fault {\n  public:\n    explicit " + c + "(" +
                  detail.cppType +
                  " detail, const std::string& text = " + cppLiteral(fault.message) +
                  ",\n        const std::string& code = \"Server\");\n"
                  "    const " +
                  detail.cppType +
                  "& detail() const;\n"
                  "    bool hasDetail() const override;\n"
                  "    void writeDetail(orvo::Writer& out) const override;\n\n"
                  "  private:\n    " +
                  detail.cppType + " detail_;\n};\n";
        source +=
            "\n" + c + "::" + c + "(" + detail.cppType +
            " detail, const std::string& text, const std::string& code)\n"
            "    : orvo::Fault(code, text), detail_(std::move(detail)) {}\n\nconst " +
            detail.cppType + "& " + c + "::detail() const {\n    return detail_;\n}\n\nbool " + c +
            "::hasDetail() const {\n    return true;\n}\n\nvoid " + c +
            "::writeDetail(orvo::Writer& out) const {\n" + appendValue(detail, "detail_") + "}\n";
        doc.members.emplace_back("class " + c, "The fault " + fault.message + ", with its detail " +
                                                   detail.xml.shown() + ".");
    }
    source += "\nvoid throw" + name +
              "(const orvo::Element& fault) {\n"
              "    const orvo::Element child = orvo::faultDetail(fault);\n"
              "    const orvo::Fault read = orvo::faultOf(fault);\n";
    for (const FaultCode& fault : port.faults) {
        const Param& detail = fault.detail;
        source += "    if (child.is(" + literalNames(detail.xml) + ")) {\n    " +
                  declareValue(detail, "value") + "        " +
                  (detail.isClass ? KxCString("value.readXml(child);")
                                  : KxCString("orvo::readValue(child, child.text(), value);")) +
                  "\n        throw " + fault.className +
                  "(std::move(value), read.what(), read.code());\n    }\n";
    }
    source += "}\n";
    header +=
        "\n// Throws the declared fault whose detail the fault element carries, if any.\nvoid "
        "throw" +
        name + "(const orvo::Element& fault);\n";
    output_.write(name + ".h", header);
    output_.write(name + ".cpp", source);
    docs_.push_back(std::move(doc));
}

void ServiceWriter::writeBase(const PortCode& port) {
    const KxCString name = port.prefix + "Base";
    KxCString header =
        head(name + ".h") + "#pragma once\n\n" + includesOf(port) + "\n" +
        cppComment("The service " + port.portType->name +
                   ": one pure virtual function per operation. A server "
                   "implements it (see " +
                   port.prefix + "Impl); " + port.prefix + "Local serves it in process.");
    if (!port.portType->documentation.empty()) {
        header += cppComment(port.portType->documentation);
    }
    header += "class " + name + " {\n  public:\n    virtual ~" + name + "();\n\n";
    ClassDoc doc{name,
                 "The service interface of the port type " + port.portType->name +
                     ": one pure virtual function per operation.",
                 name + ".h, " + name + ".cpp",
                 {}};
    for (const OperationCode& operation : port.operations) {
        header += cppComment(operation.xmlName + ": " + operation.messages, "    ");
        if (!operation.documentation.empty()) {
            header += cppComment(operation.documentation, "    ");
        }
        header += "    virtual " + signature(operation, "") + " = 0;\n";
        doc.members.emplace_back("virtual " + signature(operation, "") + " = 0",
                                 "The operation " + operation.xmlName + " (" + operation.messages +
                                     "). " + operation.documentation);
    }
    header +=
        "\n    // The target namespace of the service.\n"
        "    static const char* targetNamespace();\n"
        "    // The operations' names as in the WSDL file, ending with nullptr.\n"
        "    static const char* const* operationNames();\n};\n";
    doc.members.emplace_back("static const char* targetNamespace()",
                             "The target namespace, " + wsdl_.targetNamespace + ".");
    doc.members.emplace_back("static const char* const* operationNames()",
                             "The operations' names, ending with nullptr.");
    KxCString source = head(name + ".cpp") + "#include \"" + name + ".h\"\n\n" + name + "::~" +
                       name + "() = default;\n\nconst char* " + name +
                       "::targetNamespace() {\n    return " + cppLiteral(wsdl_.targetNamespace) +
                       ";\n}\n\nconst char* const* " + name +
                       "::operationNames() {\n    static const char* const kNames[] = {";
    for (const OperationCode& operation : port.operations) {
        source += cppLiteral(operation.xmlName) + ", ";
    }
    source += "nullptr};\n    return kNames;\n}\n";
    output_.write(name + ".h", header);
    output_.write(name + ".cpp", source);
    docs_.push_back(std::move(doc));
}

void ServiceWriter::writeSkeleton(const PortCode& port) {
    const KxCString name = port.prefix + "Skeleton";
    const KxCString base = port.prefix + "Base";
    KxCString header =
        head(name + ".h") + "#pragma once\n\n#include <string>\n\n#include \"" + base + ".h\"\n\n" +
        cppComment("Reads the request of an operation of " + port.portType->name +
                   " (the Body of the envelope, or the\nrpc wrapper inside it), calls the "
                   "service and writes the response into the Body\nbeing written to out. "
                   "Throws orvo::Fault for a request it cannot read.") +
        "class " + name + " {\n  public:\n    explicit " + name + "(" + base + "& service);\n\n";
    ClassDoc doc{name,
                 "Unmarshals the request of an operation, calls the service and marshals the "
                 "response.",
                 name + ".h, " + name + ".cpp",
                 {}};
    for (const OperationCode& operation : port.operations) {
        header += cppComment(operation.xmlName + ": " + operation.messages +
                                 (operation.oneWay ? KxCString(" (one-way)") : KxCString()) + ".",
                             "    ") +
                  "    void " + operation.method +
                  "(const orvo::Element& request, orvo::Writer& out);\n";
        doc.members.emplace_back(
            "void " + operation.method + "(const orvo::Element& request, orvo::Writer& out)",
            "Runs " + operation.xmlName + " on a request element.");
    }
    header +=
        "\n    // The operation with that name (as in the WSDL file); throws a Client\n"
        "    // fault for an unknown one.\n"
        "    // False for a one-way operation, which has no response.\n"
        "    bool invoke(const std::string& operation, const orvo::Element& request,\n"
        "                orvo::Writer& out);\n"
        "\n  private:\n    " +
        base + "& service_;\n};\n";
    doc.members.emplace_back(
        "bool invoke(const std::string& operation, const orvo::Element& request, "
        "orvo::Writer& out)",
        "Runs the named operation.");
    KxCString source = head(name + ".cpp") + "#include \"" + name + ".h\"\n\n" + name +
                       "::" + name + "(" + base + "& service) : service_(service) {}\n";
    for (const OperationCode& operation : port.operations) {
        source += "\nvoid " + name + "::" + operation.method +
                  "(const orvo::Element& request, orvo::Writer& out) {\n"
                  "    if (!request) {\n"
                  "        throw orvo::Fault(\"Client\", " +
                  cppLiteral("the request of " + operation.xmlName + " holds no element") +
                  ");\n    }\n";
        for (const Param& param : operation.inputs) {
            source += declareValue(param, param.name);
            source += readValue(param, param.name, "request");
        }
        for (const Param& param : operation.outputs) {
            source += declareValue(param, param.name);
        }
        const KxCString call = "service_." + operation.method + "(" + arguments(operation) + ")";
        if (operation.oneWay) {
            source += "    " + call + ";\n    (void)out;\n}\n";
            continue;
        }
        if (operation.result) {
            source += "    const " + operation.result->cppType + " returned = " + call + ";\n";
        } else {
            source += "    " + call + ";\n";
        }
        if (operation.rpc) {
            source += "    out.start(" + literalNames(responseWrapper(operation)) + ");\n";
        }
        if (operation.result) {
            source += appendValue(*operation.result, "returned");
        }
        for (const Param& param : operation.outputs) {
            source += appendValue(param, param.name);
        }
        source += operation.rpc ? "    out.end();\n}\n" : "}\n";
    }
    source += "\nbool " + name +
              "::invoke(const std::string& operation, const orvo::Element& request, "
              "orvo::Writer& out) {\n";
    for (const OperationCode& operation : port.operations) {
        source += "    if (operation == " + cppLiteral(operation.xmlName) + ") {\n        " +
                  operation.method + "(request, out);\n        return " +
                  (operation.oneWay ? "false" : "true") + ";\n    }\n";
    }
    if (port.operations.empty()) {
        source += "    (void)request;\n    (void)out;\n";
    }
    source += "    throw orvo::Fault(\"Client\", \"unknown operation \" + operation);\n}\n";
    output_.write(name + ".h", header);
    output_.write(name + ".cpp", source);
    docs_.push_back(std::move(doc));
}

void ServiceWriter::writeServletBase(const PortCode& port) {
    const KxCString name = port.prefix + "ServletBase";
    const KxCString base = port.prefix + "Base";
    KxCString header =
        head(name + ".h") + "#pragma once\n\n#include <string>\n\n#include \"" + base + ".h\"\n\n" +
        cppComment("The SOAP side of " + port.portType->name +
                   ": takes a request as HTTP delivers it, finds the\noperation it is for and "
                   "dispatches it to the service through " +
                   port.prefix + "Skeleton. A servlet (see\n" + port.prefix +
                   "Servlet) hands it the request and sends the answer it gives.") +
        "class " + name + " {\n  public:\n    explicit " + name + "(" + base +
        "& service);\n\n"
        "    // Handles one request: its Content-Type, its SOAPAction header (may be\n"
        "    // empty) and its body. The answer is the response envelope (200), a\n"
        "    // fault envelope (500), or nothing for a one-way operation (202), in\n"
        "    // the SOAP version of the request.\n"
        "    orvo::SoapAnswer handle(const std::string& contentType, const std::string& "
        "soapAction,\n"
        "                            const std::string& envelope);\n\n"
        "    // The operation a request is for: the one whose request element the\n"
        "    // Body holds, else the one the SOAP action names.\n"
        "    static std::string operationFor(const std::string& soapAction,\n"
        "                                    const orvo::Element& body);\n\n"
        "  private:\n    " +
        base + "& service_;\n};\n";
    ClassDoc doc{name,
                 "Handles SOAP 1.1 and 1.2 requests as HTTP delivers them: dispatches them to "
                 "the operations of the service and turns failures into SOAP faults.",
                 name + ".h, " + name + ".cpp",
                 {{"orvo::SoapAnswer handle(const std::string& contentType, const std::string& "
                   "soapAction, const std::string& envelope)",
                   "Handles one request and gives the status, content type and envelope to "
                   "answer with."},
                  {"static std::string operationFor(const std::string& soapAction, const "
                   "orvo::Element& body)",
                   "Finds the operation of a request."}}};
    KxCString source =
        head(name + ".cpp") + "#include \"" + name + ".h\"\n\n#include <exception>\n\n#include \"" +
        port.prefix + "Skeleton.h\"\n\n" + name + "::" + name + "(" + base +
        "& service) : service_(service) {}\n\norvo::SoapAnswer " + name +
        "::handle(const std::string& contentType, const std::string& soapAction,\n"
        "                                const std::string& envelope) {\n"
        "    // The content type names the version until the envelope shows it.\n"
        "    orvo::SoapVersion version =\n"
        "        contentType.find(\"application/soap+xml\") != std::string::npos\n"
        "            ? orvo::SoapVersion::Soap12\n"
        "            : orvo::SoapVersion::Soap11;\n"
        "    const auto fault = [&version](const orvo::Fault& failure) {\n"
        "        return orvo::SoapAnswer{500, orvo::soapContentType(version),\n"
        "                                orvo::faultEnvelope(failure, version)};\n"
        "    };\n"
        "    try {\n"
        "        const orvo::Document request = orvo::Document::parse(envelope);\n"
        "        const orvo::Element body = orvo::soapBody(request, version);\n"
        "        orvo::refuseHeadersToUnderstand(request, version);\n"
        "        " +
        port.prefix +
        "Skeleton skeleton(service_);\n"
        "        orvo::Writer out;\n"
        "        orvo::startSoapEnvelope(out, version);\n"
        "        const std::string operation =\n"
        "            operationFor(orvo::soapActionOf(contentType, soapAction), body);\n"
        "        const bool rpc = " +
        rpcCondition(port) +
        ";\n"
        "        if (!skeleton.invoke(operation, rpc ? body.firstChild() : body, out)) {\n"
        "            return orvo::SoapAnswer{202, std::string(), std::string()};\n"
        "        }\n"
        "        out.end();\n"
        "        out.end();\n"
        "        return orvo::SoapAnswer{200, orvo::soapContentType(version), out.str()};\n"
        "    } catch (const orvo::Fault& failure) {\n"
        "        return fault(failure);\n"
        "    } catch (const orvo::XmlError& error) {\n"
        "        return fault(orvo::Fault(\"Client\", error.what()));\n"
        "    } catch (const std::exception& error) {\n"
        "        return fault(orvo::Fault(\"Server\", error.what()));\n"
        "    }\n}\n\nstd::string " +
        name +
        "::operationFor(const std::string& soapAction, const orvo::Element& body) {\n"
        "    // The operations whose request element the Body holds; when several\n"
        "    // share it, the SOAP action tells them apart.\n"
        "    const orvo::Element request = body.firstChild();\n"
        "    std::string holdingAndNamed;\n"
        "    std::string holding;\n"
        "    std::string named;\n"
        "    const auto candidate = [&](const char* operation, const char* action, bool holds) {\n"
        "        const bool isNamed = *action != 0 && soapAction == action;\n"
        "        if (holds && isNamed && holdingAndNamed.empty()) {\n"
        "            holdingAndNamed = operation;\n"
        "        }\n"
        "        if (holds && holding.empty()) {\n"
        "            holding = operation;\n"
        "        }\n"
        "        if (isNamed && named.empty()) {\n"
        "            named = operation;\n"
        "        }\n"
        "    };\n";
    for (const OperationCode& operation : port.operations) {
        KxCString holds = "false";
        if (operation.rpc) {
            holds = "request.is(" + literalNames(requestWrapper(operation)) + ")";
        } else if (!operation.inputs.empty()) {
            holds = "request.is(" + literalNames(operation.inputs.front().xml) + ")";
        }
        source += "    candidate(" + cppLiteral(operation.xmlName) + ", " +
                  cppLiteral(operation.soapAction) + ", " + holds + ");\n";
    }
    source +=
        "    for (const std::string* found : {&holdingAndNamed, &holding, &named}) {\n"
        "        if (!found->empty()) {\n"
        "            return *found;\n"
        "        }\n"
        "    }\n"
        "    return request ? request.localName() : std::string();\n}\n";
    output_.write(name + ".h", header);
    output_.write(name + ".cpp", source);
    docs_.push_back(std::move(doc));
}

void ServiceWriter::writeLocal(const PortCode& port) {
    const KxCString name = port.prefix + "Local";
    const KxCString base = port.prefix + "Base";
    KxCString header =
        head(name + ".h") + "#pragma once\n\n#include <string>\n\n#include \"" + port.prefix +
        "ProxyBase.h\"\n#include \"" + port.prefix + "ServletBase.h\"\n\n" +
        cppComment("The in-process binding of " + port.portType->name +
                   ": the operations as a client calls them, each call\ngoing through the "
                   "same envelopes and the same server side as a remote one,\nwithout a "
                   "network.") +
        "class " + name + " : public " + port.prefix + "ProxyBase {\n  public:\n    explicit " +
        name + "(" + base +
        "& service);\n\n  protected:\n    std::string call(const std::string& soapAction, const "
        "std::string& envelope) override;\n\n  private:\n    " +
        port.prefix + "ServletBase server_;\n};\n";
    ClassDoc doc{name,
                 "The in-process binding: calls the service through the request and response "
                 "envelopes and its server side, without a network.",
                 name + ".h, " + name + ".cpp",
                 {{"explicit " + name + "(" + base + "& service)", "Serves the given service."}}};
    const KxCString source =
        head(name + ".cpp") + "#include \"" + name + ".h\"\n\n" + name + "::" + name + "(" + base +
        "& service) : server_(service) {}\n\nstd::string " + name +
        "::call(const std::string& soapAction, const std::string& envelope) {\n    return "
        "server_.handle(orvo::soapContentType(" +
        soapVersion(port) + "), soapAction, envelope).body;\n}\n";
    output_.write(name + ".h", header);
    output_.write(name + ".cpp", source);
    docs_.push_back(std::move(doc));
}

void ServiceWriter::writeProxyBase(const PortCode& port) {
    const KxCString name = port.prefix + "ProxyBase";
    KxCString header =
        head(name + ".h") + "#pragma once\n\n" + includesOf(port) + "\n" +
        cppComment("The operations of " + port.portType->name +
                   " as SOAP calls. A subclass carries the envelopes\n(see " + port.prefix +
                   "ClientProxy). A fault the service answers is thrown as\n"
                   "orvo::Fault.") +
        "class " + name + " {\n  public:\n    virtual ~" + name + "();\n\n";
    ClassDoc doc{name,
                 "The operations as SOAP calls over an abstract transport; faults are thrown as "
                 "orvo::Fault.",
                 name + ".h, " + name + ".cpp",
                 {}};
    for (const OperationCode& operation : port.operations) {
        header += cppComment(operation.xmlName + ": " + operation.messages, "    ") + "    " +
                  signature(operation, "") + ";\n";
        doc.members.emplace_back(signature(operation, ""),
                                 "Calls " + operation.xmlName +
                                     (operation.soapAction.empty()
                                          ? KxCString(".")
                                          : " with the SOAP action " + operation.soapAction + "."));
    }
    header +=
        "\n  protected:\n"
        "    // Sends one request envelope with its SOAP action and returns the\n"
        "    // response envelope (empty for a one-way operation's answer).\n"
        "    virtual std::string call(const std::string& soapAction, const std::string& "
        "envelope) = 0;\n};\n";
    doc.members.emplace_back(
        "virtual std::string call(const std::string& soapAction, const "
        "std::string& envelope) = 0",
        "Carries one request envelope and returns the response envelope.");
    KxCString source = head(name + ".cpp") + "#include \"" + name + ".h\"\n\n" + name + "::~" +
                       name + "() = default;\n";
    for (const OperationCode& operation : port.operations) {
        source += "\n" + signature(operation, name + "::") +
                  " {\n    orvo::Writer out;\n    orvo::startSoapEnvelope(out, " +
                  soapVersion(port) + ");\n" + buildRequest(operation) +
                  "    out.end();\n    out.end();\n"
                  "    const std::string answer = call(" +
                  cppLiteral(operation.soapAction) + ", out.str());\n";
        if (operation.oneWay) {
            source += "    if (answer.empty()) {\n        return;\n    }\n";
        }
        source +=
            "    const orvo::Document response = orvo::Document::parse(answer);\n"
            "    orvo::SoapVersion version = " +
            soapVersion(port) +
            ";\n"
            "    const orvo::Element body = orvo::soapBody(response, version);\n" +
            (port.faults.empty() ? KxCString()
                                 : "    if (orvo::isFault(body.firstChild())) {\n        throw" +
                                       port.prefix + "Faults(body.firstChild());\n    }\n") +
            "    orvo::throwIfFault(body.firstChild());\n";
        if (operation.oneWay) {
            source += "}\n";
            continue;
        }
        source += "    const orvo::Element responseElement = " +
                  KxCString(operation.rpc ? "body.firstChild()" : "body") + ";\n" +
                  readResponse(operation, "") + "}\n";
    }
    output_.write(name + ".h", header);
    output_.write(name + ".cpp", source);
    docs_.push_back(std::move(doc));
}

void ServiceWriter::writeClientProxy(const PortCode& port) {
    const KxCString name = port.prefix + "ClientProxy";
    const KxCString base = port.prefix + "ProxyBase";
    const KxCString header =
        head(name + ".h") +
        "#pragma once\n\n#include <functional>\n#include <string>\n\n#include \"" + base +
        ".h\"\n#include \"" + kHttpHeader + "\"\n\n" +
        cppComment("A client of " + port.portType->name +
                   ": the endpoint to call, and how the envelopes get there:\nby HTTP "
                   "(orvo::postSoap, on libcurl), or by a transport of the application's "
                   "choice.") +
        "class " + name + " : public " + base +
        " {\n  public:\n"
        "    // Posts an envelope to the endpoint with the SOAP action and returns the\n"
        "    // response envelope.\n"
        "    using Transport = std::function<std::string(\n"
        "        const std::string& endpoint, const std::string& soapAction, const std::string& "
        "envelope)>;\n\n"
        "    explicit " +
        name +
        "(std::string endpoint = defaultEndpoint());\n\n"
        "    // The address the WSDL file gives the service.\n"
        "    static std::string defaultEndpoint();\n\n"
        "    const std::string& endpoint() const;\n"
        "    void setEndpoint(const std::string& endpoint);\n"
        "    // Timeouts and certificate checks of the HTTP transport.\n"
        "    void setHttpOptions(const orvo::HttpOptions& options);\n"
        "    // Replaces the HTTP transport (for tests, or another HTTP client).\n"
        "    void setTransport(Transport transport);\n\n"
        "  protected:\n"
        "    // Throws orvo::HttpError when the exchange brings no SOAP answer.\n"
        "    std::string call(const std::string& soapAction, const std::string& envelope) "
        "override;\n\n"
        "  private:\n"
        "    std::string endpoint_;\n"
        "    orvo::HttpOptions options_;\n"
        "    Transport transport_;\n};\n";
    const KxCString contentType =
        port.soap12 ? "orvo::soapContentType(orvo::SoapVersion::Soap12, soapAction)"
                    : "orvo::soapContentType(orvo::SoapVersion::Soap11)";
    const KxCString source =
        head(name + ".cpp") + "#include \"" + name + ".h\"\n\n#include <utility>\n\n" + name +
        "::" + name + "(std::string endpoint) : endpoint_(std::move(endpoint)) {}\n\nstd::string " +
        name + "::defaultEndpoint() {\n    return " + cppLiteral(port.address) +
        ";\n}\n\nconst std::string& " + name +
        "::endpoint() const {\n    return endpoint_;\n}\n\n" + "void " + name +
        "::setEndpoint(const std::string& endpoint) {\n    endpoint_ = endpoint;\n}\n\nvoid " +
        name +
        "::setHttpOptions(const orvo::HttpOptions& options) {\n    options_ = "
        "options;\n}\n\nvoid " +
        name +
        "::setTransport(Transport transport) {\n    transport_ = std::move(transport);\n}\n\n" +
        "std::string " + name +
        "::call(const std::string& soapAction, const std::string& envelope) {\n"
        "    if (transport_) {\n"
        "        return transport_(endpoint_, soapAction, envelope);\n"
        "    }\n"
        "    return orvo::postSoap(endpoint_, " +
        contentType + ", " + (port.soap12 ? KxCString("std::string()") : KxCString("soapAction")) +
        ", envelope, options_);\n}\n";
    output_.write(name + ".h", header);
    output_.write(name + ".cpp", source);
    docs_.push_back(ClassDoc{
        name,
        "A client: the endpoint (by default " + (port.address.empty() ? "none" : port.address) +
            "), reached by HTTP or by a transport of your own.",
        name + ".h, " + name + ".cpp",
        {{"explicit " + name + "(std::string endpoint = defaultEndpoint())",
          "A proxy for the endpoint."},
         {"static std::string defaultEndpoint()", "The address the WSDL file gives."},
         {"void setEndpoint(const std::string& endpoint)", "Changes the endpoint."},
         {"void setHttpOptions(const orvo::HttpOptions& options)",
          "Sets the HTTP timeouts and certificate checks."},
         {"void setTransport(Transport transport)",
          "Replaces HTTP by a function that carries the envelopes."}}});
}

void ServiceWriter::writeServerSamples(const PortCode& port, bool firstPort) {
    const KxCString impl = port.prefix + "Impl";
    const KxCString base = port.prefix + "Base";
    KxCString header =
        head(impl + ".h") + "#pragma once\n\n#include \"" + base + ".h\"\n\n" +
        cppComment("The implementation of " + port.portType->name + ": a sample to fill in.") +
        "class " + impl + " : public " + base + " {\n  public:\n";
    KxCString source = head(impl + ".cpp") + "#include \"" + impl + ".h\"\n";
    for (const OperationCode& operation : port.operations) {
        header += "    " + signature(operation, "") + " override;\n";
        // Parameter names stay in comments so that the sample compiles without
        // unused-parameter warnings.
        OperationCode unnamed = operation;
        for (Param& param : unnamed.inputs) {
            param.name = "/*" + param.name + "*/";
        }
        for (Param& param : unnamed.outputs) {
            param.name = "/*" + param.name + "*/";
        }
        source += "\n" + signature(unnamed, impl + "::") + " {\n" +
                  cppComment("Fill in the operation " + operation.xmlName + ".", "    ");
        if (operation.result) {
            source += "    return {};\n";
        }
        source += "}\n";
    }
    header += "};\n";
    output_.writeSample(impl + ".h", header);
    output_.writeSample(impl + ".cpp", source);

    const KxCString servlet = port.prefix + "Servlet";
    const KxCString factory = "create" + servlet;
    output_.writeSample(
        servlet + ".h",
        head(servlet + ".h") +
            "#pragma once\n\n#include \"platform/servlet/KxServlet.h\"\n\n#include \"" + impl +
            ".h\"\n#include \"" + port.prefix + "ServletBase.h\"\n\n" +
            cppComment("The servlet of " + port.portType->name + ", answering with " + impl +
                       ": a sample to adapt. kxcontainer\nloads it from the library web.xml "
                       "names and maps it to the path of the service's\naddress.") +
            "class " + servlet +
            " : public KxHttpServlet {\n  public:\n"
            "    void service(KxHttpServletRequest& request, KxHttpServletResponse& response) "
            "override;\n\n  private:\n    " +
            impl + " implementation_;\n    " + port.prefix +
            "ServletBase soap_{implementation_};\n};\n");
    source = head(servlet + ".cpp") + "#include \"" + servlet + ".h\"\n\n#include <new>\n\nvoid " +
             servlet +
             "::service(KxHttpServletRequest& request, KxHttpServletResponse& response) {\n"
             "    if (request.getMethod() != \"POST\") {\n"
             "        response.setStatus(405);\n"
             "        response.setHeader(\"Allow\", \"POST\");\n"
             "        response.setContentType(\"text/plain; charset=utf-8\");\n"
             "        response.setPayload(\"This address answers SOAP requests, sent with "
             "POST.\\n\");\n"
             "        return;\n"
             "    }\n"
             "    const orvo::SoapAnswer answer = soap_.handle(\n"
             "        request.getContentType(), request.getHeader(\"SOAPAction\"), "
             "request.getBody());\n"
             "    response.setStatus(answer.status);\n"
             "    if (!answer.contentType.empty()) {\n"
             "        response.setContentType(answer.contentType);\n"
             "    }\n"
             "    response.setPayload(answer.body);\n"
             "    response.markPayloadSet();\n"
             "}\n\n";
    if (firstPort) {
        source +=
            "// The servlet interface this library was built against: kxcontainer refuses\n"
            "// a library without it or built for another version.\nKX_SERVLET_LIBRARY();\n\n";
    }
    source +=
        "// The factory kxcontainer finds by name (see web.xml).\n"
        "extern \"C\" __attribute__((visibility(\"default\"))) KxServlet* " +
        factory + "() {\n    return new (std::nothrow) " + servlet + "();\n}\n";
    output_.writeSample(servlet + ".cpp", source);
}

void ServiceWriter::writeClientSample(const PortCode& port) {
    const KxCString name = port.prefix + "Client";
    KxCString source = head(name + ".cpp") +
                       "// A sample client: fill in the request values; the proxy posts the\n"
                       "// envelopes to the endpoint by HTTP.\n"
                       "#include <iostream>\n#include <string>\n\n#include \"" +
                       port.prefix + "ClientProxy.h\"\n\nint run" + name +
                       "(const std::string& endpoint) {\n    " + port.prefix +
                       "ClientProxy proxy;\n    if (!endpoint.empty()) {\n"
                       "        proxy.setEndpoint(endpoint);\n    }\n"
                       "    try {\n";
    for (const OperationCode& operation : port.operations) {
        source += "        {\n";
        for (const Param& param : operation.inputs) {
            source += "        " + declareValue(param, param.name);
        }
        for (const Param& param : operation.outputs) {
            source += "        " + declareValue(param, param.name);
        }
        const KxCString call = "proxy." + operation.method + "(" + arguments(operation) + ")";
        if (operation.result) {
            source += "            const " + operation.result->cppType + " returned = " + call +
                      ";\n            std::cout << " + cppLiteral(operation.xmlName + ": ") +
                      " << " +
                      (operation.result->isClass ? KxCString("returned.toXml()")
                                                 : KxCString("orvo::toText(returned)")) +
                      " << std::endl;\n";
        } else {
            source += "            " + call + ";\n            std::cout << " +
                      cppLiteral(operation.xmlName + ": done") + " << std::endl;\n";
        }
        source += "        }\n";
    }
    source +=
        "    } catch (const orvo::Fault& fault) {\n"
        "        std::cerr << \"fault \" << fault.code() << \": \" << fault.what() << "
        "std::endl;\n"
        "        return 1;\n    }\n    return 0;\n}\n";
    output_.writeSample(name + ".cpp", source);
}

void ServiceWriter::writeMain(const std::vector<PortCode>& ports) {
    KxCString source = head("main.cpp") +
                       "// Runs the sample clients; the first argument, when given, is the\n"
                       "// endpoint to call.\n#include <string>\n\n";
    for (const PortCode& port : ports) {
        source += "int run" + port.prefix + "Client(const std::string& endpoint);\n";
    }
    source +=
        "\nint main(int argc, char** argv) {\n"
        "    const std::string endpoint = argc > 1 ? argv[1] : \"\";\n"
        "    int status = 0;\n";
    for (const PortCode& port : ports) {
        source +=
            "    if (run" + port.prefix + "Client(endpoint) != 0) {\n        status = 1;\n    }\n";
    }
    source += "    return status;\n}\n";
    output_.writeSample("main.cpp", source);
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

// The path web.xml maps a port type's servlet to (without "/*"): its
// address's, or the port type's name when the address has none.
KxCString servletPath(const PortCode& port) {
    KxCString path = addressPath(port.address);
    return path.empty() || path == "/" ? "/" + port.prefix : path;
}

void ServiceWriter::writeWebXml(const std::vector<PortCode>& ports) {
    KxCString xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- " +
                    xmlCommentText("web.xml: generated by " + options_.origin.tool + " from " +
                                   baseName(options_.origin.input) +
                                   ". The servlets of the services, made by the") +
                    "\n     " + xmlCommentText("factories in " + libraryName() + ".") +
                    " -->\n<web-app>\n  <display-name>" + xmlEscape(options_.projectName) +
                    "</display-name>\n";
    for (const PortCode& port : ports) {
        xml += "  <servlet>\n    <servlet-name>" + xmlEscape(port.prefix) +
               "</servlet-name>\n    <servlet-class>" + xmlEscape(libraryName()) + ":create" +
               xmlEscape(port.prefix) + "Servlet</servlet-class>\n  </servlet>\n";
    }
    for (const PortCode& port : ports) {
        xml += "  <servlet-mapping>\n    <servlet-name>" + xmlEscape(port.prefix) +
               "</servlet-name>\n    <url-pattern>" + xmlEscape(servletPath(port)) +
               "/*</url-pattern>\n  </servlet-mapping>\n";
    }
    output_.write("web.xml", xml + "</web-app>\n");
}

void ServiceWriter::writeOperations(const std::vector<PortCode>& ports) {
    std::vector<ServedPort> served;
    for (const PortCode& port : ports) {
        ServedPort entry{
            port.prefix, servletPath(port), wsdl_.addressOf(*port.portType), port.soap12, {}};
        for (const OperationCode& operation : port.operations) {
            ServedOperation described{operation.xmlName,
                                      operation.soapAction,
                                      operation.documentation,
                                      operation.rpc,
                                      operation.oneWay,
                                      requestWrapper(operation),
                                      {}};
            for (const Param& param : operation.inputs) {
                described.inputs.push_back({param.xml, param.use, param.nillable});
            }
            entry.operations.push_back(std::move(described));
        }
        served.push_back(std::move(entry));
    }
    output_.write(
        "operations.xml",
        operationsXml(options_.origin.tool, baseName(options_.origin.input), schema_, served));
}

void ServiceWriter::writeDocs(const std::vector<PortCode>& ports) {
    std::set<KxCString> documented;
    for (const ClassDoc& doc : docs_) {
        KxCString html = htmlPageStart("Class " + doc.name) +
                         "<p><a href=\"index.html\">Overview</a></p>\n<p>" +
                         xmlEscape(doc.summary) + "</p>\n<p>Files: <code>" + xmlEscape(doc.files) +
                         "</code></p>\n<table>\n<tr><th>Member</th><th>Description</th></tr>\n";
        for (const auto& [declaration, description] : doc.members) {
            html += "<tr><td><code>" + xmlEscape(declaration) + "</code></td><td>" +
                    xmlEscape(description) + "</td></tr>\n";
        }
        output_.write("docs/" + doc.name + ".html",
                      html + "</table>\n" + htmlPageEnd(options_.origin));
        documented.insert(doc.name);
    }
    const KxCString title =
        (options_.projectName.empty() ? wsdl_.name : options_.projectName) + ": generated classes";
    KxCString html = htmlPageStart(title) + "<p>Generated from <code>" +
                     xmlEscape(baseName(options_.origin.input)) +
                     "</code>, target namespace <code>" + xmlEscape(wsdl_.targetNamespace) +
                     "</code>.</p>\n";
    for (const WsdlService& service : wsdl_.services) {
        html += "<h2>Service " + xmlEscape(service.name) + "</h2>\n";
        if (!service.documentation.empty()) {
            html += "<p>" + xmlEscape(service.documentation) + "</p>\n";
        }
        html += "<ul>\n";
        for (const WsdlPort& port : service.ports) {
            html += "<li>Port <code>" + xmlEscape(port.name) + "</code> at <code>" +
                    xmlEscape(port.address) + "</code></li>\n";
        }
        html += "</ul>\n";
    }
    for (const PortCode& port : ports) {
        html += "<h2>Port type " + xmlEscape(port.portType->name) + "</h2>\n<p>Classes:";
        bool first = true;
        for (const char* suffix :
             {"Base", "ServletBase", "Skeleton", "Local", "ClientProxy", "ProxyBase"}) {
            const KxCString name = port.prefix + suffix;
            if (documented.count(name) != 0) {
                html += KxCString(first ? " " : ", ") + "<a href=\"" + xmlEscape(name) +
                        ".html\">" + xmlEscape(name) + "</a>";
                first = false;
            }
        }
        html += first ? " none.</p>\n" : ".</p>\n";
        html += "<table>\n<tr><th>Operation</th><th>C++</th><th>SOAP action</th></tr>\n";
        for (const OperationCode& operation : port.operations) {
            html += "<tr><td>" + xmlEscape(operation.xmlName) + "</td><td><code>" +
                    xmlEscape(signature(operation, "")) + "</code></td><td><code>" +
                    xmlEscape(operation.soapAction) + "</code></td></tr>\n";
        }
        html += "</table>\n";
    }
    if (!schema_.types().empty()) {
        html += "<h2>Data classes</h2>\n<ul>\n";
        for (const DataType& type : schema_.types()) {
            html += "<li><a href=\"datatypes/" + xmlEscape(type.className) + ".html\">" +
                    xmlEscape(type.className) + "</a></li>\n";
        }
        html += "</ul>\n";
    }
    output_.write("docs/index.html", html + htmlPageEnd(options_.origin));
}

void ServiceWriter::writeAll() {
    std::vector<PortCode> ports;
    for (const WsdlPortType& portType : wsdl_.portTypes) {
        ports.push_back(describe(portType));
    }
    if (options_.client && !ports.empty()) {
        output_.write(kHttpHeader, httpHeaderText());
    }
    for (const PortCode& port : ports) {
        if (options_.server) {
            writeBase(port);
            writeServletBase(port);
            writeSkeleton(port);
            writeLocal(port);
        }
        // The in-process binding calls through the client's marshalling.
        if (options_.server || options_.client) {
            writeProxyBase(port);
            writeFaults(port);
        }
        if (options_.client) {
            writeClientProxy(port);
        }
        if (options_.samples && options_.server) {
            writeServerSamples(port, &port == &ports.front());
        }
        if (options_.samples && options_.client) {
            writeClientSample(port);
        }
    }
    if (options_.samples && options_.client && !ports.empty()) {
        writeMain(ports);
    }
    if (options_.server && !ports.empty()) {
        writeWebXml(ports);
        writeOperations(ports);
    }
    if (options_.html) {
        writeDocs(ports);
    }
}

}  // namespace

void writeServices(const Wsdl& wsdl, const Schema& schema, const ServiceOptions& options,
                   OutputWriter& output) {
    ServiceWriter(wsdl, schema, options, output).writeAll();
}

}  // namespace kx::gen
