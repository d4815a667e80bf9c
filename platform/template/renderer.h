#pragma once
// Stage three of the template engine: the renderer walks a template's node
// tree with a context and appends the output to one string.
#include <memory>
#include <string_view>

#include "platform/template/KxContext.h"
#include "platform/template/nodes.h"

namespace kx::tl {

// What renderings need from the factory that made a tree: the templates its
// #parse directives name, and a log for the faults found while rendering.
class TemplateSource {
  public:
    virtual ~TemplateSource() = default;
    // The template of that name, relative to the template folder; nullptr
    // with error set to a message for the template's author when it cannot
    // be read or parsed.
    virtual std::shared_ptr<const TemplateTree> load(const KxCString& name,
                                                     KxCString& error) const = 0;
    virtual void log(const KxCString& message) const = 0;
};

enum class Escape { None, Html };

// How deep #parse may nest: a template that parses itself stops here.
inline constexpr int kMaxParseDepth = 20;
// How deep macro calls may nest: enough for the recursive shapes of a
// generated file, and an end for a macro that calls itself unconditionally.
inline constexpr int kMaxMacroDepth = 200;

// Renders tree with context, appending to out. With Escape::Html the value
// of every reference is escaped for HTML; template text never is. The context
// is only read: #set and the loop variables live in the rendering's own
// scope, looked up before the context.
void render(const TemplateTree& tree, const KxContext& context, Escape escape, KxCString& out);

// Appends text with & < > " ' written as HTML entities.
void appendHtmlEscaped(KxCString& out, std::string_view text);

}  // namespace kx::tl
