#include "platform/servlet/KxServletRequest.h"

#include "platform/base/KxText.h"

#include <algorithm>
#include <unordered_set>

#include "platform/servlet/KxServletException.h"

KxCString KxServletRequest::getParameter(const KxCString& name) const {
    for (const auto& [key, value] : parameters_) {
        if (key == name) {
            return value;
        }
    }
    return {};
}

bool KxServletRequest::hasParameter(const KxCString& name) const {
    return std::any_of(parameters_.begin(), parameters_.end(),
                       [&](const auto& parameter) { return parameter.first == name; });
}

KxEnumeration<KxCString> KxServletRequest::getParameterNames() const {
    std::vector<KxCString> names;
    std::unordered_set<KxCString> seen;
    for (const auto& parameter : parameters_) {
        if (seen.insert(parameter.first).second) {
            names.push_back(parameter.first);
        }
    }
    return KxEnumeration<KxCString>(new KxVectorEnumerationImpl<KxCString>(std::move(names)));
}

void KxServletRequest::addParameter(KxCString name, KxCString value) {
    parameters_.emplace_back(std::move(name), std::move(value));
}

KxCString KxHttpServletRequest::getHeader(const KxCString& name) const {
    for (const auto& [key, value] : headers_) {
        if (kx::equalsIgnoringCase(key, name)) {
            return value;
        }
    }
    return {};
}

void KxHttpServletRequest::addHeader(KxCString name, KxCString value) {
    headers_.emplace_back(std::move(name), std::move(value));
}

KxHttpSession& KxHttpServletRequest::getSession(int create) {
    if (!session_) {
        if (create == 0) {
            throw KxServletException("The request has no session");
        }
        session_ = sessionProvider_ ? sessionProvider_() : std::make_shared<KxHttpSession>();
        if (!session_) {
            throw KxServletException("No session could be created");
        }
    }
    return *session_;
}
