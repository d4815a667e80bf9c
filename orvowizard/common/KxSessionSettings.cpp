#include "orvowizard/common/KxSessionSettings.h"

#include "orvowizard/common/KxSessionAccessors.h"
#include "platform/servlet/KxServletException.h"

namespace {

// A text setting as the session holds it: the value shares the session
// attribute's body, which never changes once made, and writes its text from
// there.
class SessionText : public KxTextValueImpl {
  public:
    SessionText(KxServletAttribute attribute, const KxCString& text)
        : attribute_(std::move(attribute)), text_(text) {}

    const KxCString& text() const override { return text_; }

  private:
    KxServletAttribute attribute_;  // keeps text_ alive
    const KxCString& text_;
};

const KxContextObject& emptyText() {
    static const KxContextObject kEmpty = kxcreateContextObject(KxCString());
    return kEmpty;
}

template <class T>
const KxTServletAttributeImpl<T>* typedBody(const KxServletAttribute& attribute) {
    const KxServletAttributeImpl* body = attribute.getImpl();
    if (!body) {
        return nullptr;
    }
    const auto* typed = dynamic_cast<const KxTServletAttributeImpl<T>*>(body);
    if (!typed) {
        throw KxServletException("KxServletAttribute: bad cast exception.\n");
    }
    return typed;
}

}  // namespace

KxSessionSettings::KxSessionSettings(const KxHttpSession& session, KxCString prefix)
    : session_(session), prefix_(std::move(prefix)) {
    settings_.reserve(16);
}

void KxSessionSettings::addText(std::string_view name) {
    settings_.push_back(Setting{KxContextKey(name), false, false, {}});
}

void KxSessionSettings::addFlag(std::string_view name) {
    settings_.push_back(Setting{KxContextKey(name), true, false, {}});
}

KxContextObject KxSessionSettings::find(const KxContextKey& key) {
    for (Setting& setting : settings_) {
        if (!setting.key.matches(key.name, key.hash)) {
            continue;
        }
        if (!setting.read) {
            setting.value = read(setting);
            setting.read = true;
        }
        return setting.value;
    }
    return {};
}

KxContextObject KxSessionSettings::read(const Setting& setting) {
    ++reads_;
    // The session's key, built in the one buffer of this source.
    sessionKey_.assign(prefix_);
    sessionKey_.append(setting.key.name);
    const KxServletAttribute attribute = session_.getAttribute(sessionKey_);
    if (setting.flag) {
        const auto* body = typedBody<bool>(attribute);
        return kxcreateContextObject(body != nullptr && body->getValue());
    }
    const auto* body = typedBody<KxCString>(attribute);
    if (!body) {
        return emptyText();
    }
    const KxCString& text = body->getValue();
    return KxContextObject(std::make_shared<SessionText>(attribute, text));
}
