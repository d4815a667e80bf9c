#pragma once
// Typed accessors that move named settings between the HTTP request, the HTTP
// session and a properties file. A servlet keeps each setting in the session
// under its own prefix directly followed by the setting's name ("viewer" and
// "dir" give the key "viewerdir"), so several servlets share one session
// without touching each other's values. An absent string reads as "" and an
// absent flag as false.
#include <string_view>

#include "platform/base/KxCString.h"
#include "platform/servlet/KxHttpSession.h"
#include "platform/servlet/KxProperties.h"
#include "platform/servlet/KxServletAttribute.h"
#include "platform/servlet/KxServletRequest.h"

// The typed body of a session attribute: a bool or a KxCString.
template <class T>
class KxTServletAttributeImpl : public KxServletAttributeImpl {
  public:
    explicit KxTServletAttributeImpl(const T& value) : value_(value) {}
    ~KxTServletAttributeImpl() override = default;

    const T& getValue() const { return value_; }

  private:
    T value_;
};

// Copies the attribute's value into value when the handle has a body; leaves
// value as it was when it has none. Throws KxServletException when the body
// holds the other type.
void extractAttribute(const KxServletAttribute& attribute, bool& value);
void extractAttribute(const KxServletAttribute& attribute, KxCString& value);

// Gives the handle a new body holding a copy of value, keeping its transient
// flag.
void storeAttribute(KxServletAttribute& attribute, const bool& value);
void storeAttribute(KxServletAttribute& attribute, const KxCString& value);

bool hasRequestParameter(const KxHttpServletRequest& request, const KxCString& name);

KxCString getSessionString(const KxHttpSession& session, const KxCString& name,
                           const KxCString& prefix);
bool getSessionBool(const KxHttpSession& session, const KxCString& name, const KxCString& prefix);

void setSessionString(KxHttpSession& session, const KxCString& name, const KxCString& value,
                      const KxCString& prefix, bool stripQuotes);
void setSessionBool(KxHttpSession& session, const KxCString& name, bool value,
                    const KxCString& prefix);

// The characters the form turns into spaces in the settings that reach the
// generator's command line, and that a loaded file may not hold there.
inline constexpr std::string_view kCommandSplitters = "&*,;<>|";

// Replaces each of & * , ; < > | in the stored string by a space.
void sanitizeSessionString(KxHttpSession& session, const KxCString& name, const KxCString& prefix);

// Stores the parameter's value when the request carries it; otherwise the
// session keeps what it had.
void readStringParameter(KxHttpSession& session, const KxHttpServletRequest& request,
                         const KxCString& name, const KxCString& prefix);
// Stores true exactly when the parameter's value is "on".
void readCheckboxParameter(KxHttpSession& session, const KxHttpServletRequest& request,
                           const KxCString& name, const KxCString& prefix);

// Stores the property's value with doubled backslashes made single.
void readStringProperty(KxHttpSession& session, const KxProperties& properties,
                        const KxCString& name, const KxCString& prefix);
// Stores true exactly when the property's value is "true" or "1".
void readBoolProperty(KxHttpSession& session, const KxProperties& properties, const KxCString& name,
                      const KxCString& prefix);
