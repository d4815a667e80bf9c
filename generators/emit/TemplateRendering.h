#pragma once
// Generated files are rendered from the templates of generators/templates,
// built into the generators. A template sees the values its writer gives and
// three tools, one per kind of destination, through which every value that
// comes from an input must pass:
//   $cpp.literal(v)  a C++ string literal (quotes included)
//   $cpp.comment(v)  C++ line comments ("// " lines); $cpp.comment(v, "    ") indents them
//   $cpp.inLiteral(v)  the inside of a C++ string literal, without its quotes
//   $cpp.id(v)       a C++ identifier made from an XML name
//   $xml.text(v), $xml.attr(v)  XML or HTML content, attribute value in double quotes
//   $xml.comment(v)  the inside of an XML comment
//   $build.word(v)   a word of a makefile or developer-studio file (checked, never quoted)
//   $build.path(v)   a folder made of such words, separated by '/'
//   $build.windowsPath(v), $build.windowsFolder(v)  a project file (".\a\b") or folder
//                    ("a\b") as the developer-studio files name them
//   $build.guid(v)   the GUID the developer-studio files give the name
// A value that comes from an input is made with inputText (and so is a
// string a template builds from one, "$name.h"): written by a
// template without one of these tools, it throws TemplateValueError, so a
// template that forgets the escaping fails on its first rendering instead of
// writing the value raw. A value that cannot stand where a tool puts it (a
// build word with a blank) is a fault of the generator, which checks names
// before it writes: the tool throws TemplateValueError too.
#include <stdexcept>
#include <string_view>
#include <vector>

#include "platform/base/KxCString.h"
#include "platform/template/KxContextObject.h"

namespace kx::gen {

class TemplateValueError : public std::logic_error {
  public:
    using std::logic_error::logic_error;
};

// A text from an input (a schema, a WSDL, the settings, a file name):
// compared and tested like any text, written only through a tool.
KxContextObject inputText(const KxCString& text);
KxContextObject inputTexts(const std::vector<KxCString>& texts);

// The file rendered from the template `name` (relative to
// generators/templates, such as "build/makefile.tl") with the values given
// and the tools above. Throws std::logic_error when the template is unknown
// or does not parse or render cleanly: templates are part of the generator.
KxCString renderTemplate(std::string_view name, const KxRecordFields& values);

// The same for a template given as text (name for messages), not kept.
KxCString renderTemplateText(std::string_view text, std::string_view name,
                             const KxRecordFields& values);

// The names of the templates built into the generators, and the text of one
// (empty when there is no such template).
std::vector<std::string_view> templateNames();
std::string_view templateText(std::string_view name);

}  // namespace kx::gen
