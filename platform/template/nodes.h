#pragma once
// The node tree of a parsed template: what the parser builds and the
// renderer walks. A tree is made once per template file and then only read,
// by any number of renderings at once. Names are parsed into the nodes here
// so that rendering never splits or copies them, each with its hash
// (kxcontextHash) so that looking a name up never hashes it again, and its
// slot, so that a rendering finds a name's current value by index.
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "platform/base/KxCString.h"
#include "platform/template/KxContextKey.h"
#include "platform/template/KxContextObject.h"
#include "platform/template/lexer.h"

namespace kx::tl {

class TemplateSource;
struct Expr;
using ExprList = std::vector<Expr>;

// ---- names -------------------------------------------------------------------

// The slot of a name: the same number for the same text in every template
// of the process, counted from 0. A rendering keeps the value a name has at
// each point (a loop variable, a #set value, the context's value once asked
// for) in a table indexed by slot, so that a reference costs one index and
// not a search by text per value. Taking a slot locks; the parser does it,
// once per name it meets.
std::uint32_t nameSlot(std::string_view name);
// How many slots the names met so far have taken.
std::uint32_t nameSlotCount();

// A name as a template holds it: its text, its hash and its slot.
struct Name {
    KxCString text;
    std::size_t hash = 0;
    std::uint32_t slot = 0;

    Name() = default;
    explicit Name(KxCString name)
        : text(std::move(name)), hash(kxcontextHash(text)), slot(nameSlot(text)) {}

    KxContextKey key() const { return {text, hash}; }
};

// ---- expressions -------------------------------------------------------------

// One part of a reference after its root: ".name" asks getAttribute, and
// ".name(arguments)" asks invokeMethod.
struct Step {
    KxCString name;
    bool call = false;
    ExprList arguments;
};

// The built-in escape tool's methods, $esc.url(value) and $esc.html(value),
// which a reference of that shape calls when $esc is the tool itself.
enum class EscapeCall : std::uint8_t { None, Url, Html };

// $root.step.step(...). A reference whose value is absent renders its
// source, as written, or nothing when it is quiet ($!).
struct Reference {
    Name root;
    std::vector<Step> steps;
    bool quiet = false;
    EscapeCall escapeCall = EscapeCall::None;  // worked out by the parser
    KxCString source;
};

// A value known when parsing: a number, true, false or a string without
// references.
struct Constant {
    KxContextObject value;
};

// A double-quoted string holding references: its parts are Constants (the
// text between) and References, joined into one string value.
struct Interpolation {
    ExprList parts;
};

enum class Op { Not, And, Or, Eq, Ne, Lt, Gt, Le, Ge };

// An operator applied to one (Not) or two operands.
struct Operation {
    Op op = Op::Not;
    std::unique_ptr<Expr> left;
    std::unique_ptr<Expr> right;
};

using ExprVariant = std::variant<Constant, Reference, Interpolation, Operation>;
struct Expr : ExprVariant {
    using ExprVariant::ExprVariant;
};

// ---- statements --------------------------------------------------------------

struct Node;
using Block = std::vector<Node>;

// Template text, written as it is.
struct TextNode {
    KxCString text;
};

// A reference in the text: its value is written.
struct OutputNode {
    Reference reference;
};

// One #if, #elseif or #else part; the #else part has no condition.
struct Branch {
    std::optional<Expr> condition;
    Block body;
};

// #if ... #elseif ... #else ... #end: the first branch whose condition holds
// (or the #else branch) is rendered.
struct IfNode {
    std::vector<Branch> branches;
};

// #foreach($variable in list) body #end
struct ForeachNode {
    Name variable;
    Expr list;
    Block body;
};

// #set($variable = value)
struct SetNode {
    Name variable;
    Expr value;
};

// #parse(name): renders another template of the same factory in place.
struct ParseNode {
    Expr name;
    Position at;
    // The template a constant name names, resolved when parsing; empty when
    // the name is only known when rendering.
    KxCString target;
};

// #name(arguments): renders the macro of that name, defined in the same
// template, with its parameters bound to the arguments' values.
struct MacroCallNode {
    KxCString name;
    ExprList arguments;
    Position at;
};

using NodeVariant =
    std::variant<TextNode, OutputNode, IfNode, ForeachNode, SetNode, ParseNode, MacroCallNode>;
struct Node : NodeVariant {
    using NodeVariant::NodeVariant;
};

// #macro(name $parameter ...) body #end, wherever in the template it stands.
struct MacroDefinition {
    std::vector<Name> parameters;
    Block body;
    Position at;
};

// A parsed template: its name (for messages and #parse) and its nodes. The
// source is the factory that made it, which loads the templates its #parse
// directives name and takes the messages of its renderings.
struct TemplateTree {
    KxCString name;
    Block nodes;
    // The template's macros by name; its calls name only these.
    std::map<KxCString, MacroDefinition, std::less<>> macros;
    const TemplateSource* source = nullptr;
    // The size the last rendering wrote, plus a little: the next one reserves
    // it at once instead of growing the output (and copying it) as it goes.
    // Only a hint, so renderings share it without ordering.
    mutable std::atomic<std::size_t> outputSizeHint = 0;
};

}  // namespace kx::tl
