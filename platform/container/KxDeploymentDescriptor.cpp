#include "platform/container/KxDeploymentDescriptor.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <memory>
#include <set>

#include "platform/base/KxText.h"
#include "platform/os/KxOs.h"

namespace kx::container {

namespace {

// A web.xml is a few kilobytes; this bounds what the start reads and parses.
constexpr std::size_t kMaxDescriptorSize = 1024 * 1024;

using DocumentPtr = std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)>;
using ParserPtr = std::unique_ptr<xmlParserCtxt, decltype(&xmlFreeParserCtxt)>;

std::string trimmedText(std::string_view text) {
    return std::string(trimWhitespace(text));
}

bool isElement(const xmlNode* node, const char* name) {
    return node->type == XML_ELEMENT_NODE &&
           xmlStrcmp(node->name, reinterpret_cast<const xmlChar*>(name)) == 0;
}

// The trimmed text inside an element.
std::string textOf(const xmlNode* node) {
    xmlChar* content = xmlNodeGetContent(node);
    if (!content) {
        return {};
    }
    std::string text(reinterpret_cast<const char*>(content));
    xmlFree(content);
    return trimmedText(text);
}

// The text of the first child element with that name; empty when missing.
std::string childText(const xmlNode* parent, const char* name) {
    for (const xmlNode* child = parent->children; child; child = child->next) {
        if (isElement(child, name)) {
            return textOf(child);
        }
    }
    return {};
}

KxServletDeclaration readServlet(const xmlNode* element, const std::string& sourceName) {
    KxServletDeclaration servlet;
    servlet.name = childText(element, "servlet-name");
    if (servlet.name.empty()) {
        throw KxDescriptorError(sourceName + ": line " + std::to_string(xmlGetLineNo(element)) +
                                ": <servlet> without <servlet-name>");
    }
    servlet.servletClass = childText(element, "servlet-class");
    const auto colon = servlet.servletClass.rfind(':');
    if (colon == std::string::npos) {
        servlet.library = servlet.servletClass;
    } else {
        servlet.library = trimmedText(servlet.servletClass.substr(0, colon));
        servlet.factory = trimmedText(servlet.servletClass.substr(colon + 1));
    }
    for (const xmlNode* child = element->children; child; child = child->next) {
        if (isElement(child, "init-param")) {
            servlet.initParameters.emplace_back(childText(child, "param-name"),
                                                childText(child, "param-value"));
        }
    }
    return servlet;
}

// Keeps the parser's first error: later ones are mostly consequences of it.
void keepFirstError(void* userData, xmlErrorPtr error) {
    auto* parser = static_cast<xmlParserCtxtPtr>(userData);
    auto* first = static_cast<std::string*>(parser->_private);
    if (first && first->empty() && error && error->level >= XML_ERR_ERROR) {
        std::string message = trimmedText(error->message ? error->message : "malformed XML");
        *first = (error->line > 0 ? ": line " + std::to_string(error->line) : std::string()) +
                 ": " + message;
    }
}

constexpr const char* kEntitiesRefused =
    "the DOCTYPE declares entities, which a deployment descriptor may not";

// Stops the parse at the first entity declaration, before any entity is
// defined: a reference to it can then expand to nothing.
void refuseEntity(void* userData, const xmlChar* name, int, const xmlChar*, const xmlChar*,
                  xmlChar*) {
    auto* parser = static_cast<xmlParserCtxtPtr>(userData);
    auto* first = static_cast<std::string*>(parser->_private);
    if (first && first->empty()) {
        *first = ": line " + std::to_string(xmlSAX2GetLineNumber(parser)) + ": " +
                 kEntitiesRefused + " (entity '" + reinterpret_cast<const char*>(name) + "')";
    }
    parser->wellFormed = 0;
    xmlStopParser(parser);
}

}  // namespace

const KxServletDeclaration* KxDeploymentDescriptor::findServlet(const std::string& name) const {
    for (const auto& servlet : servlets) {
        if (servlet.name == name) {
            return &servlet;
        }
    }
    return nullptr;
}

KxDeploymentDescriptor parseDeploymentDescriptor(const std::string& text,
                                                 const std::string& sourceName) {
    ParserPtr parser(xmlNewParserCtxt(), xmlFreeParserCtxt);
    if (!parser) {
        throw KxDescriptorError(sourceName + ": no XML parser could be made");
    }
    // No network, no DTD loaded, no entity declared, nothing printed: the
    // first fault is kept for the message.
    std::string firstError;
    parser->_private = &firstError;
    parser->sax->serror = keepFirstError;
    parser->sax->entityDecl = refuseEntity;
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    DocumentPtr document(xmlCtxtReadMemory(parser.get(), text.data(), static_cast<int>(text.size()),
                                           sourceName.c_str(), nullptr, options),
                         xmlFreeDoc);
    if (!document || !parser->wellFormed) {
        if (!firstError.empty()) {
            throw KxDescriptorError(sourceName + firstError);
        }
        const xmlError* error = xmlCtxtGetLastError(parser.get());
        std::string message =
            error && error->message ? trimmedText(error->message) : "malformed XML";
        const int line = error ? error->line : 0;
        throw KxDescriptorError(sourceName + (line > 0 ? ": line " + std::to_string(line) : "") +
                                ": " + message);
    }

    // An entity is refused outright rather than left unexpanded: reading the
    // text of an element would still expand an internal one, and nested
    // ones grow without bound.
    if (const xmlDtd* dtd = document->intSubset; dtd && (dtd->entities || dtd->pentities)) {
        throw KxDescriptorError(sourceName + ": " + kEntitiesRefused);
    }

    const xmlNode* root = xmlDocGetRootElement(document.get());
    if (!root || !isElement(root, "web-app")) {
        throw KxDescriptorError(sourceName + ": the root element is not <web-app>");
    }

    KxDeploymentDescriptor descriptor;
    std::set<std::string> names;
    for (const xmlNode* child = root->children; child; child = child->next) {
        if (isElement(child, "servlet")) {
            KxServletDeclaration servlet = readServlet(child, sourceName);
            if (!names.insert(servlet.name).second) {
                throw KxDescriptorError(sourceName + ": line " +
                                        std::to_string(xmlGetLineNo(child)) + ": servlet '" +
                                        servlet.name + "' is declared twice");
            }
            descriptor.servlets.push_back(std::move(servlet));
        }
    }
    std::set<std::string> patterns;
    for (const xmlNode* child = root->children; child; child = child->next) {
        if (!isElement(child, "servlet-mapping")) {
            continue;
        }
        const std::string name = childText(child, "servlet-name");
        if (names.count(name) == 0) {
            descriptor.warnings.push_back("servlet-mapping for undeclared servlet '" + name +
                                          "' passed over");
            continue;
        }
        // A mapping may list several patterns.
        for (const xmlNode* item = child->children; item; item = item->next) {
            if (!isElement(item, "url-pattern")) {
                continue;
            }
            const std::string pattern = textOf(item);
            if (!isSupportedUrlPattern(pattern)) {
                descriptor.warnings.push_back("url-pattern '" + pattern + "' of servlet '" + name +
                                              "' is not supported and passed over");
            } else if (!patterns.insert(pattern).second) {
                descriptor.warnings.push_back("url-pattern '" + pattern + "' of servlet '" + name +
                                              "' is mapped already and passed over");
            } else {
                descriptor.mappings.push_back({pattern, name});
            }
        }
    }
    return descriptor;
}

KxDeploymentDescriptor readDeploymentDescriptor(const std::string& path) {
    KxCString text;
    switch (kx::os::readRegularFile(path, text, kMaxDescriptorSize)) {
        case kx::os::ReadOutcome::Complete:
            return parseDeploymentDescriptor(text, path);
        case kx::os::ReadOutcome::Truncated:
        case kx::os::ReadOutcome::TooLarge:
            throw KxDescriptorError(path + ": larger than " +
                                    std::to_string(kMaxDescriptorSize / 1024) +
                                    " kB; a deployment descriptor is much smaller");
        case kx::os::ReadOutcome::NotRegular:
            throw KxDescriptorError(path + ": not a regular file");
        case kx::os::ReadOutcome::Failed:
            break;
    }
    throw KxDescriptorError(path + ": cannot be read");
}

}  // namespace kx::container
