#include "generators/emit/ServiceDocs.h"

#include <set>

#include "generators/emit/TemplateRendering.h"
#include "generators/support/Text.h"

namespace kx::gen {

namespace {

ClassDoc baseDoc(const ServicePort& port, const KxCString& targetNamespace) {
    const KxCString name = port.prefix + "Base";
    ClassDoc doc{name,
                 "The service interface of the port type " + port.portType->name +
                     ": one pure virtual function per operation.",
                 name + ".h, " + name + ".cpp",
                 {}};
    for (const ServiceOperation& operation : port.operations) {
        doc.members.emplace_back("virtual " + signature(operation) + " = 0",
                                 "The operation " + operation.xmlName + " (" + operation.messages +
                                     "). " + operation.documentation);
    }
    doc.members.emplace_back("static const char* targetNamespace()",
                             "The target namespace, " + targetNamespace + ".");
    doc.members.emplace_back("static const char* const* operationNames()",
                             "The operations' names, ending with nullptr.");
    return doc;
}

ClassDoc skeletonDoc(const ServicePort& port) {
    const KxCString name = port.prefix + "Skeleton";
    ClassDoc doc{name,
                 "Unmarshals the request of an operation, calls the service and marshals the "
                 "response.",
                 name + ".h, " + name + ".cpp",
                 {}};
    for (const ServiceOperation& operation : port.operations) {
        doc.members.emplace_back(
            "void " + operation.method +
                "(const orvo::Element& request, const orvo::Element& header, orvo::Writer& out)",
            "Runs " + operation.xmlName +
                " on a request element and the envelope's Header, writing the response's "
                "Header and Body.");
    }
    doc.members.emplace_back(
        "bool invoke(const std::string& operation, const orvo::Element& request, "
        "const orvo::Element& header, orvo::Writer& out)",
        "Runs the named operation.");
    return doc;
}

ClassDoc servletBaseDoc(const ServicePort& port) {
    const KxCString name = port.prefix + "ServletBase";
    return {name,
            "Handles SOAP 1.1 and 1.2 requests as HTTP delivers them: dispatches them to "
            "the operations of the service and turns failures into SOAP faults.",
            name + ".h, " + name + ".cpp",
            {{"orvo::SoapAnswer handle(const std::string& contentType, const std::string& "
              "soapAction, const std::string& envelope)",
              "Handles one request and gives the status, content type and envelope to "
              "answer with."},
             {"static std::string operationFor(const std::string& soapAction, const "
              "orvo::Element& body)",
              "Finds the operation of a request."},
             {"static bool understands(const std::string& operation, const orvo::Element& "
              "block)",
              "Whether the operation reads the header block (a soap:header of its input): "
              "such a block marked mustUnderstand is served, any other is a MustUnderstand "
              "fault."}}};
}

ClassDoc localDoc(const ServicePort& port) {
    const KxCString name = port.prefix + "Local";
    return {
        name,
        "The in-process binding: calls the service through the request and response "
        "envelopes and its server side, without a network.",
        name + ".h, " + name + ".cpp",
        {{"explicit " + name + "(" + port.prefix + "Base& service)", "Serves the given service."}}};
}

ClassDoc proxyBaseDoc(const ServicePort& port) {
    const KxCString name = port.prefix + "ProxyBase";
    ClassDoc doc{name,
                 "The operations as SOAP calls over an abstract transport; faults are thrown as "
                 "orvo::Fault.",
                 name + ".h, " + name + ".cpp",
                 {}};
    for (const ServiceOperation& operation : port.operations) {
        doc.members.emplace_back(signature(operation),
                                 "Calls " + operation.xmlName +
                                     (operation.soapAction.empty()
                                          ? KxCString(".")
                                          : " with the SOAP action " + operation.soapAction + "."));
    }
    doc.members.emplace_back(
        "virtual std::string call(const std::string& soapAction, const "
        "std::string& envelope) = 0",
        "Carries one request envelope and returns the response envelope.");
    return doc;
}

ClassDoc faultsDoc(const ServicePort& port) {
    const KxCString name = port.prefix + "Faults";
    ClassDoc doc{name,
                 "The faults the operations of " + port.portType->name +
                     " declare, as exceptions carrying their detail.",
                 name + ".h, " + name + ".cpp",
                 {}};
    for (const ServiceFault& fault : port.faults) {
        doc.members.emplace_back(
            "class " + fault.className,
            "The fault " + fault.message + ", with its detail " + fault.detail.xml.shown() + ".");
    }
    return doc;
}

ClassDoc clientProxyDoc(const ServicePort& port) {
    const KxCString name = port.prefix + "ClientProxy";
    return {name,
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
              "Replaces HTTP by a function that carries the envelopes."}}};
}

KxRecordFields pageValues(const KxCString& title, const CodeOrigin& origin) {
    return {{"pageTitle", inputText(title)},
            {"tool", inputText(origin.tool)},
            {"inputFile", inputText(baseName(origin.input))}};
}

void writeClassPage(const ClassDoc& doc, const CodeOrigin& origin, OutputWriter& output) {
    std::vector<KxContextObject> members;
    for (const auto& [declaration, description] : doc.members) {
        members.push_back(kxcreateRecord(
            {{"declaration", inputText(declaration)}, {"description", inputText(description)}}));
    }
    KxRecordFields values = pageValues("Class " + doc.name, origin);
    values.emplace_back("summary", inputText(doc.summary));
    values.emplace_back("files", inputText(doc.files));
    values.emplace_back("members", kxcreateContextObject(std::move(members)));
    output.write("docs/" + doc.name + ".html", renderTemplate("docs/service-class.tl", values));
}

KxContextObject servicesRecords(const Wsdl& wsdl) {
    std::vector<KxContextObject> services;
    for (const WsdlService& service : wsdl.services) {
        std::vector<KxContextObject> ports;
        for (const WsdlPort& port : service.ports) {
            ports.push_back(kxcreateRecord(
                {{"name", inputText(port.name)}, {"address", inputText(port.address)}}));
        }
        services.push_back(kxcreateRecord({{"name", inputText(service.name)},
                                           {"documentation", inputText(service.documentation)},
                                           {"ports", kxcreateContextObject(std::move(ports))}}));
    }
    return kxcreateContextObject(std::move(services));
}

KxContextObject portTypeRecords(const std::vector<ServicePort>& ports,
                                const std::set<KxCString>& documented) {
    std::vector<KxContextObject> records;
    for (const ServicePort& port : ports) {
        std::vector<KxCString> classes;
        for (const char* suffix :
             {"Base", "ServletBase", "Skeleton", "Local", "ClientProxy", "ProxyBase"}) {
            if (documented.count(port.prefix + suffix) != 0) {
                classes.push_back(port.prefix + suffix);
            }
        }
        std::vector<KxContextObject> operations;
        for (const ServiceOperation& operation : port.operations) {
            operations.push_back(kxcreateRecord({{"name", inputText(operation.xmlName)},
                                                 {"signature", inputText(signature(operation))},
                                                 {"action", inputText(operation.soapAction)}}));
        }
        records.push_back(
            kxcreateRecord({{"name", inputText(port.portType->name)},
                            {"classes", inputTexts(classes)},
                            {"operations", kxcreateContextObject(std::move(operations))}}));
    }
    return kxcreateContextObject(std::move(records));
}

}  // namespace

ClassDoc classDoc(const ServicePort& port, ServiceClass kind, const KxCString& targetNamespace) {
    switch (kind) {
        case ServiceClass::Base:
            return baseDoc(port, targetNamespace);
        case ServiceClass::ServletBase:
            return servletBaseDoc(port);
        case ServiceClass::Skeleton:
            return skeletonDoc(port);
        case ServiceClass::Local:
            return localDoc(port);
        case ServiceClass::ProxyBase:
            return proxyBaseDoc(port);
        case ServiceClass::Faults:
            return faultsDoc(port);
        case ServiceClass::ClientProxy:
            break;
    }
    return clientProxyDoc(port);
}

void writeServiceDocs(const std::vector<ClassDoc>& docs, const std::vector<ServicePort>& ports,
                      const Wsdl& wsdl, const Schema& schema, const CodeOrigin& origin,
                      const KxCString& projectName, OutputWriter& output) {
    std::set<KxCString> documented;
    for (const ClassDoc& doc : docs) {
        writeClassPage(doc, origin, output);
        documented.insert(doc.name);
    }
    std::vector<KxCString> dataClasses;
    for (const DataType& type : schema.types()) {
        dataClasses.push_back(type.className);
    }
    KxRecordFields values =
        pageValues((projectName.empty() ? wsdl.name : projectName) + ": generated classes", origin);
    values.emplace_back("targetNamespace", inputText(wsdl.targetNamespace));
    values.emplace_back("services", servicesRecords(wsdl));
    values.emplace_back("portTypes", portTypeRecords(ports, documented));
    values.emplace_back("dataClasses", inputTexts(dataClasses));
    output.write("docs/index.html", renderTemplate("docs/service-index.tl", values));
}

}  // namespace kx::gen
