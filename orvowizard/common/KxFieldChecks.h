#pragma once
// Checks of the settings a wizard hands on: to startup.properties, to the
// generator's command line, to file names in the project directory. A value
// may come from the form or from a startup.properties edited by anyone, so
// the checks run where the value is used (Save and generate), not where it
// is read. Each returns why the value cannot be used, or "" when it can.
#include "platform/base/KxCString.h"

// Longer values are refused: no path or name a user types comes near it,
// and it keeps a hostile value from costing memory or time further on.
inline constexpr KxCString::size_type kMaxSettingLength = 4096;

// Any text setting: no line break or other control character (it would
// start a new key in startup.properties) and at most kMaxSettingLength bytes.
KxCString checkSettingText(const KxCString& name, const KxCString& value);

// A setting that lands inside a quoted word of the generator's command line:
// checkSettingText, no double quote (it would end the word and split the
// arguments) and nothing that the form turns into a space (& * , ; < > |),
// which a hand-edited file could still hold.
KxCString checkCommandWord(const KxCString& name, const KxCString& value);

// The options typed for the generator: as checkCommandWord, but double
// quotes are allowed as long as they pair up, since they group words there.
KxCString checkOptionsText(const KxCString& name, const KxCString& value);

// A name that becomes one file in the project directory: checkCommandWord,
// no slash or backslash, not "." or "..".
KxCString checkPlainFileName(const KxCString& name, const KxCString& value);

// A name that becomes a C++ class and its file names: a letter or "_"
// followed by letters, digits and "_".
KxCString checkIdentifier(const KxCString& name, const KxCString& value);
