#include "orvowizard/common/KxContextAccessors.h"

#include "orvowizard/common/KxSessionAccessors.h"

KxCString getContextString(const KxContext& context, const KxCString& name) {
    const KxContextObject value = context.get(name);
    return value.isValid() ? value.toString() : KxCString();
}

bool getContextBool(const KxContext& context, const KxCString& name) {
    const KxContextObject value = context.get(name);
    return value.isValid() && value.toBoolean();
}

void putSessionString(KxContext& context, const KxHttpSession& session, const KxCString& name,
                      const KxCString& prefix) {
    context.put(name, getSessionString(session, name, prefix));
}

void putSessionBool(KxContext& context, const KxHttpSession& session, const KxCString& name,
                    const KxCString& prefix) {
    context.put(name, kxcreateContextObject(getSessionBool(session, name, prefix)));
}

void escapeContextBackslashes(KxContext& context, const KxCString& name) {
    const KxCString value = getContextString(context, name);
    KxCString escaped;
    escaped.reserve(value.size() + 8);
    for (char c : value) {
        escaped += c;
        if (c == '\\') {
            escaped += '\\';
        }
    }
    context.put(name, escaped);
}
