#pragma once
// Stage two of the template engine: the parser turns the lexer's tokens into
// the node tree (nodes.h). One method per directive, parse_<directive>,
// chosen by the directive's name; expressions are read by precedence:
//   or:  and {(|| or) and}
//   and: equality {(&& and) equality}
//   equality: relation {(== != eq ne) relation}
//   relation: unary {(< > <= >= lt gt le ge) unary}
//   unary: (! not) unary | primary
//   primary: reference | "string" | 'string' | number | true | false | (or)
#include <memory>
#include <string_view>

#include "platform/template/nodes.h"

namespace kx::tl {

// Parses a template's text into its tree (without a source). Throws
// TemplateError, its message naming name, line, column, the fault and the
// directive left open, such as
//   "page.tl:40:1: unexpected end of file: the #foreach opened at 12:1 needs an #end".
std::shared_ptr<TemplateTree> parseTemplate(std::string_view text, const KxCString& name);

// The template a #parse names: relative to the folder of the template that
// holds the directive (from); a name beginning with '/' starts at the
// template folder. name is not empty.
KxCString relativeTo(const KxCString& from, const KxCString& name);

}  // namespace kx::tl
