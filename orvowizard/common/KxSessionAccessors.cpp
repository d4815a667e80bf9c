#include "orvowizard/common/KxSessionAccessors.h"

#include <algorithm>

#include "orvowizard/common/KxFileUtilities.h"
#include "platform/servlet/KxServletException.h"

namespace {

template <class T>
void extractTyped(const KxServletAttribute& attribute, T& value) {
    const KxServletAttributeImpl* body = attribute.getImpl();
    if (!body) {
        return;
    }
    const auto* typed = dynamic_cast<const KxTServletAttributeImpl<T>*>(body);
    if (!typed) {
        throw KxServletException("KxServletAttribute: bad cast exception.\n");
    }
    value = typed->getValue();
}

template <class T>
void storeTyped(KxServletAttribute& attribute, const T& value) {
    const bool transient = attribute.isTransient();
    attribute.setImpl(new KxTServletAttributeImpl<T>(value));
    attribute.setTransient(transient);
}

// The container's lifetime value for session attributes.
constexpr int kAttributeLifetime = 1;

template <class T>
void setSessionValue(KxHttpSession& session, const KxCString& key, const T& value) {
    KxServletAttribute attribute(kAttributeLifetime);
    storeAttribute(attribute, value);
    session.setAttribute(key, attribute);
}

}  // namespace

void extractAttribute(const KxServletAttribute& attribute, bool& value) {
    extractTyped(attribute, value);
}

void extractAttribute(const KxServletAttribute& attribute, KxCString& value) {
    extractTyped(attribute, value);
}

void storeAttribute(KxServletAttribute& attribute, const bool& value) {
    storeTyped(attribute, value);
}

void storeAttribute(KxServletAttribute& attribute, const KxCString& value) {
    storeTyped(attribute, value);
}

bool hasRequestParameter(const KxHttpServletRequest& request, const KxCString& name) {
    KxEnumeration<KxCString> names = request.getParameterNames();
    while (names.hasMoreElements()) {
        if (names.nextElement() == name) {
            return true;
        }
    }
    return false;
}

KxCString getSessionString(const KxHttpSession& session, const KxCString& name,
                           const KxCString& prefix) {
    KxCString value;
    extractAttribute(session.getAttribute(prefix + name), value);
    return value;
}

bool getSessionBool(const KxHttpSession& session, const KxCString& name, const KxCString& prefix) {
    bool value = false;
    extractAttribute(session.getAttribute(prefix + name), value);
    return value;
}

void setSessionString(KxHttpSession& session, const KxCString& name, const KxCString& value,
                      const KxCString& prefix, bool stripQuotesFlag) {
    setSessionValue(session, prefix + name, stripQuotesFlag ? stripQuotes(value) : value);
}

void setSessionBool(KxHttpSession& session, const KxCString& name, bool value,
                    const KxCString& prefix) {
    setSessionValue(session, prefix + name, value);
}

void sanitizeSessionString(KxHttpSession& session, const KxCString& name, const KxCString& prefix) {
    KxCString value = getSessionString(session, name, prefix);
    std::replace_if(
        value.begin(), value.end(),
        [](char c) { return kCommandSplitters.find(c) != std::string_view::npos; }, ' ');
    setSessionString(session, name, value, prefix, false);
}

void readStringParameter(KxHttpSession& session, const KxHttpServletRequest& request,
                         const KxCString& name, const KxCString& prefix) {
    if (hasRequestParameter(request, name)) {
        setSessionString(session, name, request.getParameter(name), prefix, false);
    }
}

void readCheckboxParameter(KxHttpSession& session, const KxHttpServletRequest& request,
                           const KxCString& name, const KxCString& prefix) {
    setSessionBool(session, name, request.getParameter(name) == "on", prefix);
}

void readStringProperty(KxHttpSession& session, const KxProperties& properties,
                        const KxCString& name, const KxCString& prefix) {
    setSessionString(session, name, unescapeBackslashes(properties.get(name)), prefix, false);
}

void readBoolProperty(KxHttpSession& session, const KxProperties& properties, const KxCString& name,
                      const KxCString& prefix) {
    const KxCString value = properties.get(name);
    setSessionBool(session, name, value == "true" || value == "1", prefix);
}
