#pragma once
// One row of a wizard's settings table. The same row tells how the setting
// is stored on a new or reset session, copied from the submitted form, put
// into the page context, read back from startup.properties and written into
// it, so that a setting is named once per wizard.

// Text settings travel as strings, flags as booleans (a checkbox on the form,
// "true" or "1" in startup.properties).
enum class SettingKind { Text, Flag };

// The value on a new or reset session. Two common settings take theirs from
// the system: the home's projects folder and the platform row of this system.
enum class SettingDefault { Empty, Off, On, ProjectsFolder, PlatformOfThisSystem };

// Whether reset strips double quotes from the default it stores.
enum class OnReset { KeepQuotes, StripQuotes };

// How the submitted form reaches the session: a field copied as it comes
// (text when the request carries it, a flag as a checkbox); the same, then
// sanitized so that the value cannot split the generator's command line; or
// by a rule of its own that the wizard framework spells out.
enum class FromForm { Field, SanitizedField, SpecialFormRule };

// How a loaded startup.properties reaches the session: under the setting's
// own key, or by a rule of its own that the wizard framework spells out.
enum class FromFile { OwnKey, SpecialFileRule };

// How the properties template receives the value: as the session holds it,
// or with every backslash doubled, which reading the file undoes.
enum class InFile { AsIs, BackslashesDoubled };

// What a text setting must be before Save or generate use it (see
// KxFieldChecks): any text; a word inside a quoted word of the generator's
// command line; the generator's options; a plain file name; a C++ name.
// Flags need no check.
enum class SettingCheck { AnyText, CommandWord, Options, PlainFileName, Identifier };

// The columns a row leaves out take the usual values: quotes kept on reset,
// copied from the form as a field, read under its own key, written as it is,
// checked as text.
struct WizardSetting {
    const char* name;
    SettingKind kind;
    SettingDefault byDefault = SettingDefault::Empty;
    OnReset onReset = OnReset::KeepQuotes;
    FromForm fromForm = FromForm::Field;
    FromFile fromFile = FromFile::OwnKey;
    InFile inFile = InFile::AsIs;
    SettingCheck check = SettingCheck::AnyText;
};
