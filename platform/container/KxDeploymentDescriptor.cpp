#include "platform/container/KxDeploymentDescriptor.h"

#include <set>
#include <string_view>
#include <utility>

#include "platform/base/KxText.h"
#include "platform/os/KxOs.h"
#include "platform/xml/KxXmlTree.h"

namespace kx::container {

namespace {

// A web.xml is a few kilobytes; this bounds what the start reads and parses.
constexpr std::size_t kMaxDescriptorSize = 1024 * 1024;

// The trimmed text of the first child element with that name; empty when
// missing.
std::string childText(const XmlElement& parent, std::string_view name) {
    const XmlElement* child = parent.child(name);
    return child != nullptr ? std::string(trimWhitespace(child->text)) : std::string();
}

std::string lineOf(const XmlElement& element) {
    return "line " + std::to_string(element.at.line);
}

KxServletDeclaration readServlet(const XmlElement& element, const std::string& sourceName) {
    KxServletDeclaration servlet;
    servlet.name = childText(element, "servlet-name");
    if (servlet.name.empty()) {
        throw KxDescriptorError(sourceName + ": " + lineOf(element) +
                                ": <servlet> without <servlet-name>");
    }
    servlet.servletClass = childText(element, "servlet-class");
    const auto colon = servlet.servletClass.rfind(':');
    if (colon == std::string::npos) {
        servlet.library = servlet.servletClass;
    } else {
        const std::string_view written = servlet.servletClass;
        servlet.library = trimWhitespace(written.substr(0, colon));
        servlet.factory = trimWhitespace(written.substr(colon + 1));
    }
    for (const XmlElement* parameter : element.childrenNamed("init-param")) {
        servlet.initParameters.emplace_back(childText(*parameter, "param-name"),
                                            childText(*parameter, "param-value"));
    }
    return servlet;
}

// The root element of a well-formed descriptor, read from its text. A document declaring any
// entity is refused outright rather than left unexpanded: nested internal
// ones grow without bound, and external ones point out of the application.
XmlElement readRoot(const std::string& text, const std::string& sourceName) {
    if (trimWhitespace(text).empty()) {
        throw KxDescriptorError(sourceName + ": Document is empty");
    }
    XmlDocument document = parseXmlDocument(text, XmlEntityRefusal::All);
    if (document.fault) {
        const XmlFault& fault = *document.fault;
        throw KxDescriptorError(
            sourceName + (fault.at.line > 0 ? ": line " + std::to_string(fault.at.line) : "") +
            ": " + fault.message);
    }
    if (document.root->name != "web-app") {
        throw KxDescriptorError(sourceName + ": the root element is not <web-app>");
    }
    return std::move(*document.root);
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
    const XmlElement root = readRoot(text, sourceName);
    KxDeploymentDescriptor descriptor;
    descriptor.displayName = childText(root, "display-name");
    std::set<std::string> names;
    for (const XmlElement* element : root.childrenNamed("servlet")) {
        KxServletDeclaration servlet = readServlet(*element, sourceName);
        if (!names.insert(servlet.name).second) {
            throw KxDescriptorError(sourceName + ": " + lineOf(*element) + ": servlet '" +
                                    servlet.name + "' is declared twice");
        }
        descriptor.servlets.push_back(std::move(servlet));
    }
    std::set<std::string> patterns;
    for (const XmlElement* mapping : root.childrenNamed("servlet-mapping")) {
        const std::string name = childText(*mapping, "servlet-name");
        if (names.count(name) == 0) {
            descriptor.warnings.push_back("servlet-mapping for undeclared servlet '" + name +
                                          "' passed over");
            continue;
        }
        // A mapping may list several patterns.
        for (const XmlElement* item : mapping->childrenNamed("url-pattern")) {
            const std::string pattern(trimWhitespace(item->text));
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
