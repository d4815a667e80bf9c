#pragma once
// Accessors between the template context, the HTTP session and the page.
#include "platform/servlet/KxHttpSession.h"
#include "platform/template/KxContext.h"

// The entry's text; "" when the context has no valid entry of that name.
KxCString getContextString(const KxContext& context, const KxCString& name);
// The entry's truth; false when the context has no valid entry.
bool getContextBool(const KxContext& context, const KxCString& name);

// Puts the session's string prefix+name ("" when absent) into the context
// under name alone.
void putSessionString(KxContext& context, const KxHttpSession& session, const KxCString& name,
                      const KxCString& prefix);
// Puts the session's flag prefix+name (false when absent) under name.
void putSessionBool(KxContext& context, const KxHttpSession& session, const KxCString& name,
                    const KxCString& prefix);

// Replaces the string entry name by a copy with every backslash doubled, as
// properties files store paths; an absent entry becomes "".
void escapeContextBackslashes(KxContext& context, const KxCString& name);
