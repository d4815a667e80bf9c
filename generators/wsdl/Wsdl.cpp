#include "generators/wsdl/Wsdl.h"

#include <set>
#include <string_view>

#include "generators/emit/ProjectFiles.h"
#include "generators/support/Text.h"
#include "generators/wsdl/WsdlHeaders.h"
#include "platform/base/KxText.h"
#include "platform/os/KxOs.h"

namespace kx::gen {

namespace {

// The most WSDL files one run reads through wsdl:import, and their text
// together: each parsed tree stays in memory for the whole run.
constexpr std::size_t kMaxWsdlFiles = 100;
constexpr std::size_t kMaxWsdlBytes = 64 * 1024 * 1024;

template <typename Item>
const Item* findByName(const std::vector<Item>& items, const QName& name) {
    const Item* onlyByLocalName = nullptr;
    std::size_t byLocalName = 0;
    for (const Item& item : items) {
        if (item.name == name.local) {
            if (item.ns == name.ns) {
                return &item;
            }
            onlyByLocalName = &item;
            ++byLocalName;
        }
    }
    return byLocalName == 1 ? onlyByLocalName : nullptr;
}

WsdlOperation readOperation(const XmlElement& element) {
    WsdlOperation operation;
    operation.name = element.attributeOr("name");
    operation.documentation = documentationOf(element);
    operation.at = element.at;
    if (const XmlElement* input = element.child("input")) {
        operation.hasInput = true;
        operation.input = input->attributeOr("message");
        operation.inputName = wsdlReference(*input, operation.input);
        operation.inputAt = input->at;
    }
    if (const XmlElement* output = element.child("output")) {
        operation.output = output->attributeOr("message");
        operation.outputName = wsdlReference(*output, operation.output);
        operation.outputAt = output->at;
    }
    for (const XmlElement* fault : element.childrenNamed("fault")) {
        const KxCString message = fault->attributeOr("message");
        operation.faults.push_back({message, wsdlReference(*fault, message), fault->at});
    }
    return operation;
}

WsdlPortType readPortType(const XmlElement& element) {
    WsdlPortType portType;
    portType.name = element.attributeOr("name");
    portType.documentation = documentationOf(element);
    portType.at = element.at;
    for (const XmlElement* child : element.childrenNamed("operation")) {
        portType.operations.push_back(readOperation(*child));
    }
    return portType;
}

WsdlBindingOperation readBindingOperation(const XmlElement& child) {
    WsdlBindingOperation operation;
    operation.name = child.attributeOr("name");
    operation.at = child.at;
    if (const XmlElement* soap = child.child("operation")) {
        operation.soapAction = soap->attributeOr("soapAction");
        operation.style = soap->attributeOr("style");
    }
    if (const XmlElement* input = child.child("input")) {
        if (const XmlElement* body = input->child("body")) {
            operation.use = body->attributeOr("use", "literal");
            operation.bodyNamespace = body->attributeOr("namespace");
        }
    }
    for (const char* direction : {"input", "output"}) {
        const XmlElement* message = child.child(direction);
        if (message == nullptr) {
            continue;
        }
        if (const XmlElement* body = message->child("body"); body && body->attribute("parts")) {
            operation.unsupported.emplace_back(
                "soap:body parts (every part not carried in a header is sent)", body->at);
        }
        (std::string_view(direction) == "input" ? operation.inputHeaders
                                                : operation.outputHeaders) = readHeaders(*message);
    }
    return operation;
}

WsdlBinding readBinding(const XmlElement& element) {
    WsdlBinding binding;
    binding.name = element.attributeOr("name");
    binding.type = element.attributeOr("type");
    binding.typeName = wsdlReference(element, binding.type);
    binding.at = element.at;
    // <soap:binding> has the same local name as its parent.
    if (const XmlElement* soap = element.child("binding")) {
        binding.style = soap->attributeOr("style");
        binding.soap12 = soap->namespaceUri == kSoap12BindingNamespace;
        binding.soap = binding.soap12 || soap->namespaceUri == kSoap11BindingNamespace;
    }
    for (const XmlElement* child : element.childrenNamed("operation")) {
        binding.operations.push_back(readBindingOperation(*child));
    }
    return binding;
}

WsdlService readService(const XmlElement& element) {
    WsdlService service;
    service.name = element.attributeOr("name");
    service.documentation = documentationOf(element);
    service.at = element.at;
    for (const XmlElement* child : element.childrenNamed("port")) {
        WsdlPort port;
        port.name = child->attributeOr("name");
        port.binding = child->attributeOr("binding");
        port.bindingName = wsdlReference(*child, port.binding);
        port.at = child->at;
        if (const XmlElement* address = child->child("address")) {
            port.address = address->attributeOr("location");
        }
        service.ports.push_back(std::move(port));
    }
    return service;
}

WsdlMessage readMessage(const XmlElement& element, const Schema& schema) {
    WsdlMessage message;
    message.name = element.attributeOr("name");
    message.at = element.at;
    for (const XmlElement* part : element.childrenNamed("part")) {
        WsdlPart read{part->attributeOr("name"),
                      part->attributeOr("element"),
                      part->attributeOr("type"),
                      std::nullopt,
                      std::nullopt,
                      part->at};
        if (!read.element.empty()) {
            read.elementName = schema.resolveName(*part, read.element);
        } else if (!read.type.empty()) {
            read.typeName = schema.resolveName(*part, read.type);
        }
        message.parts.push_back(std::move(read));
    }
    return message;
}

// Reads the WSDL files of a description: the main one, then each file a
// wsdl:import names, depth first.
class WsdlFiles {
  public:
    WsdlFiles(Wsdl& wsdl, Schema& schema, Diagnostics& diagnostics)
        : wsdl_(wsdl), schema_(schema), diagnostics_(diagnostics) {}

    void readMain(const XmlElement& definitions, const SourceFile& source) {
        markRead(source.path);
        wsdl_.files.push_back(source);
        read(definitions, 0);
    }

  private:
    // Marks the file as read; false when it was read already.
    bool markRead(const KxCString& path) {
        kx::os::FileStatus status;
        if (kx::os::fileStatus(path, status)) {
            return read_.emplace(status.device, status.inode).second;
        }
        return readPaths_.insert(path).second;
    }

    void read(const XmlElement& definitions, std::size_t file);
    void import(const XmlElement& import, std::size_t from);
    void readImported(const XmlDocument& document, const SourceFile& source,
                      const XmlElement& import, std::size_t from);

    Wsdl& wsdl_;
    Schema& schema_;
    Diagnostics& diagnostics_;
    std::set<std::pair<std::uintmax_t, std::uintmax_t>> read_;
    std::set<KxCString> readPaths_;
    std::size_t bytesRead_ = 0;
};

void WsdlFiles::read(const XmlElement& definitions, std::size_t file) {
    const KxCString ns = definitions.attributeOr("targetNamespace");
    const auto placed = [&](auto item) {
        item.ns = ns;
        item.file = file;
        return item;
    };
    for (const XmlElement& child : definitions.children) {
        if (child.name == "import") {
            import(child, file);
        } else if (child.name == "types") {
            for (const XmlElement* types : child.childrenNamed("schema")) {
                schema_.add(*types, wsdl_.files[file]);
            }
        } else if (child.name == "message") {
            wsdl_.messages.push_back(placed(readMessage(child, schema_)));
        } else if (child.name == "portType") {
            wsdl_.portTypes.push_back(placed(readPortType(child)));
        } else if (child.name == "binding") {
            wsdl_.bindings.push_back(placed(readBinding(child)));
        } else if (child.name == "service") {
            WsdlService service = readService(child);
            service.file = file;
            wsdl_.services.push_back(std::move(service));
        }
    }
}

void WsdlFiles::import(const XmlElement& import, std::size_t from) {
    const SourceFile source = wsdl_.files[from];  // files grows below
    const KxCString location(kx::trimWhitespace(import.attributeOr("location")));
    if (location.empty()) {
        diagnostics_.error("the wsdl:import names no location", source, import.at);
        return;
    }
    if (location.find("://") != KxCString::npos) {
        diagnostics_.error("the WSDL file " + location +
                               " is named by a URL; only local files are read (name a copy "
                               "beside this file instead)",
                           source, import.at);
        return;
    }
    const SourceFile named = SourceFile::named(locationBeside(source.name, location));
    if (!markRead(named.path)) {
        return;  // read already: imports that form a cycle end here
    }
    if (wsdl_.files.size() >= kMaxWsdlFiles) {
        diagnostics_.error("more than " + std::to_string(kMaxWsdlFiles) +
                               " WSDL files are imported; " + location + " is not read",
                           source, import.at);
        return;
    }
    KxCString text;
    Diagnostics reading;
    if (!readInputFile(named, "imported file", text, reading)) {
        for (const Diagnostic& problem : reading.all()) {
            diagnostics_.error(problem.message, source, import.at);
        }
        return;
    }
    if (text.size() > kMaxWsdlBytes - bytesRead_) {
        diagnostics_.error("the WSDL files of this run come to more than " +
                               std::to_string(kMaxWsdlBytes / (1024 * 1024)) + " MB; " + location +
                               " is not read",
                           source, import.at);
        return;
    }
    bytesRead_ += text.size();
    // The schema keeps the document first: the elements it takes in point
    // into it.
    readImported(schema_.keep(parseXmlDocument(text)), named, import, from);
}

void WsdlFiles::readImported(const XmlDocument& document, const SourceFile& source,
                             const XmlElement& import, std::size_t from) {
    if (document.fault) {
        diagnostics_.error(document.fault->message, source, document.fault->at);
        return;
    }
    const XmlElement& root = *document.root;
    const KxCString expected = import.attributeOr("namespace");
    const KxCString declared = root.attributeOr("targetNamespace");
    if (!expected.empty() && declared != expected) {
        diagnostics_.warning("the imported file " + source.name + " has the target namespace \"" +
                                 declared + "\", not \"" + expected + "\" as the import says",
                             wsdl_.files[from], import.at);
    }
    if (root.name == "schema" && root.namespaceUri == kXsdNamespace) {
        wsdl_.files.push_back(source);
        schema_.add(root, source);
    } else if (root.name == "definitions") {
        wsdl_.files.push_back(source);
        read(root, wsdl_.files.size() - 1);
    } else {
        diagnostics_.error("the imported file " + source.name +
                               " is neither a WSDL file nor an XML Schema: its root element is <" +
                               root.name + "> in the namespace \"" + root.namespaceUri + "\"",
                           wsdl_.files[from], import.at);
    }
}

}  // namespace

QName wsdlReference(const XmlElement& at, const KxCString& text) {
    const KxCString trimmed(kx::trimWhitespace(text));
    return QName{at.namespaceOf(prefixOf(trimmed)).value_or(KxCString()), localName(trimmed)};
}

const WsdlMessage* Wsdl::findMessage(const QName& name) const {
    return findByName(messages, name);
}

const WsdlPortType* Wsdl::findPortType(const QName& name) const {
    return findByName(portTypes, name);
}

const WsdlBinding* Wsdl::findBinding(const QName& name) const {
    return findByName(bindings, name);
}

const WsdlBinding* Wsdl::bindingOf(const WsdlPortType& portType) const {
    if (const std::vector<const WsdlBinding*> soap = soapBindingsOf(portType); !soap.empty()) {
        return soap.front();
    }
    for (const WsdlBinding& binding : bindings) {
        if (findPortType(binding.typeName) == &portType) {
            return &binding;
        }
    }
    return nullptr;
}

std::vector<const WsdlBinding*> Wsdl::soapBindingsOf(const WsdlPortType& portType) const {
    std::vector<const WsdlBinding*> found;
    for (const WsdlBinding& binding : bindings) {
        if (binding.soap && findPortType(binding.typeName) == &portType) {
            found.push_back(&binding);
        }
    }
    return found;
}

std::vector<KxCString> Wsdl::addressesOf(const WsdlBinding& binding) const {
    std::vector<KxCString> addresses;
    for (const WsdlService& service : services) {
        for (const WsdlPort& port : service.ports) {
            if (findBinding(port.bindingName) == &binding) {
                addresses.push_back(port.address);
            }
        }
    }
    return addresses;
}

KxCString Wsdl::addressOf(const WsdlPortType& portType) const {
    for (const WsdlBinding* binding : soapBindingsOf(portType)) {
        if (const std::vector<KxCString> addresses = addressesOf(*binding); !addresses.empty()) {
            return addresses.front();
        }
    }
    for (const WsdlBinding& binding : bindings) {
        if (const std::vector<KxCString> addresses = addressesOf(binding);
            !addresses.empty() && findPortType(binding.typeName) == &portType) {
            return addresses.front();
        }
    }
    return {};
}

Wsdl readWsdl(const XmlElement& definitions, const SourceFile& source, Schema& schema,
              Diagnostics& diagnostics) {
    Wsdl wsdl;
    wsdl.name = definitions.attributeOr("name");
    wsdl.targetNamespace = definitions.attributeOr("targetNamespace");
    WsdlFiles(wsdl, schema, diagnostics).readMain(definitions, source);
    schema.resolve();
    return wsdl;
}

}  // namespace kx::gen
