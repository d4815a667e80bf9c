#include "platform/servlet/KxServletContext.h"

#include <algorithm>
#include <iostream>
#include <unordered_map>

#include "platform/base/KxText.h"
#include "platform/os/KxOs.h"
#include "platform/servlet/KxServletException.h"

KxCString KxServletContext::getMimeType(const KxCString& fileName) const {
    static const std::unordered_map<KxCString, KxCString> types = {
        {"html", "text/html"},      {"htm", "text/html"},       {"css", "text/css"},
        {"js", "text/javascript"},  {"mjs", "text/javascript"}, {"json", "application/json"},
        {"png", "image/png"},       {"jpg", "image/jpeg"},      {"jpeg", "image/jpeg"},
        {"gif", "image/gif"},       {"svg", "image/svg+xml"},   {"ico", "image/x-icon"},
        {"webp", "image/webp"},     {"xml", "text/xml"},        {"txt", "text/plain"},
        {"pdf", "application/pdf"}, {"woff", "font/woff"},      {"woff2", "font/woff2"},
        {"zip", "application/zip"},
    };
    auto dot = fileName.rfind('.');
    auto slash = fileName.find_last_of("/\\");
    if (dot == KxCString::npos || (slash != KxCString::npos && dot < slash)) {
        return {};
    }
    auto it = types.find(kx::toLowerAscii(std::string_view(fileName).substr(dot + 1)));
    return it == types.end() ? KxCString() : it->second;
}

KxCString KxServletContext::getResourceData(const KxCString& name) const {
    if (name.empty() || kx::hasParentSegment(name)) {
        throw KxServletException("Invalid resource name: " + name);
    }
    KxCString content;
    if (!kx::os::readWholeFile(webAppDirectory_ + "/" + name, content)) {
        throw KxServletException("Cannot read resource: " + name);
    }
    return content;
}

void KxServletContext::log(const KxCString& message) const {
    if (logSink_) {
        logSink_(message);
    } else {
        std::clog << message << '\n';
    }
}

KxCString KxServletConfig::getInitParameter(const KxCString& name) const {
    auto it = initParameters_.find(name);
    return it == initParameters_.end() ? KxCString() : it->second;
}

void KxServletConfig::setInitParameter(const KxCString& name, KxCString value) {
    initParameters_[name] = std::move(value);
}
