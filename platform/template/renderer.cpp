#include "platform/template/renderer.h"

#include "platform/base/KxText.h"
#include "platform/template/comparisons.h"
#include "platform/template/parser.h"
#include "platform/template/workspace.h"

#include <array>
#include <charconv>
#include <compare>
#include <iostream>
#include <optional>

namespace kx::tl {

namespace {

// The position of the first byte of text from `from` on that HTML escaping
// replaces; npos when there is none.
std::size_t findHtmlEscaped(std::string_view text, std::size_t from) {
    return kx::findMarkupSpecial(text, from, true);
}

}  // namespace

void appendHtmlEscaped(KxCString& out, std::string_view text) {
    kx::appendEscapedMarkup(out, text, true);
}

namespace {

// ---- values the renderer makes ----------------------------------------------

const KxContextObject& truth(bool value) {
    static const KxContextObject kTrue = kxcreateContextObject(true);
    static const KxContextObject kFalse = kxcreateContextObject(false);
    return value ? kTrue : kFalse;
}

// $esc, offered by every rendering unless the context holds an "esc":
// $esc.url(value) encodes a value for a link, $esc.html(value) for a page.
class EscapeTool : public KxContextObjectImpl {
  public:
    EscapeTool() : KxContextObjectImpl(KxContextObject::kRecord) {}

    KxContextObject invokeMethod(const KxCString& name,
                                 const std::vector<KxContextObject>& arguments) override {
        if (arguments.size() != 1 || !arguments[0].isValid() || (name != "url" && name != "html")) {
            return {};
        }
        thread_local KxCString text;  // reused: one allocation fewer per call
        text.clear();
        arguments[0].getImpl()->appendTo(text);
        KxCString escaped;
        escaped.reserve(text.size() + text.size() / 4);
        if (name == "url") {
            kx::appendUrlEncoded(escaped, text);
        } else {
            appendHtmlEscaped(escaped, text);
        }
        return kxcreateContextObject(std::move(escaped));
    }
};

const KxContextObject& escapeTool() {
    static const KxContextObject tool(std::make_shared<EscapeTool>());
    return tool;
}

// Which of the built-in tool's methods a reference calls, when it is
// $esc.url(one argument) or $esc.html(one argument); None otherwise.
enum class EscapeCall { None, Url, Html };

EscapeCall escapeCallOf(const Reference& reference) {
    if (reference.root != "esc" || reference.steps.size() != 1) {
        return EscapeCall::None;
    }
    const Step& step = reference.steps.front();
    if (!step.call || step.arguments.size() != 1) {
        return EscapeCall::None;
    }
    return step.name == "url"    ? EscapeCall::Url
           : step.name == "html" ? EscapeCall::Html
                                 : EscapeCall::None;
}

// $foreach inside a loop: count (from 1), index (from 0), hasNext, first and
// last. One status serves a whole loop and moves on with it, so a loop
// allocates nothing per element.
class LoopStatus : public KxContextObjectImpl {
  public:
    explicit LoopStatus(KxEnumeration<KxContextObject> rest)
        : KxContextObjectImpl(KxContextObject::kRecord), rest_(std::move(rest)) {}

    void setIndex(long index) { index_ = index; }

    KxContextObject getAttribute(const KxCString& name) override {
        if (name == "count") {
            return kxcreateContextObject(index_ + 1);
        }
        if (name == "index") {
            return kxcreateContextObject(index_);
        }
        if (name == "hasNext") {
            return truth(rest_.hasMoreElements());
        }
        if (name == "first") {
            return truth(index_ == 0);
        }
        if (name == "last") {
            return truth(!rest_.hasMoreElements());
        }
        return {};
    }

  private:
    KxEnumeration<KxContextObject> rest_;  // shares its position with the loop's
    long index_ = 0;
};

const KxCString kForeach = "foreach";
const std::size_t kForeachHash = kxcontextHash(kForeach);
const KxCString kUnbound;

// ---- the walk -----------------------------------------------------------------

class Renderer {
  public:
    Renderer(const KxContext& context, Escape escape, KxCString& out, Workspace& workspace)
        : context_(context),
          escape_(escape),
          out_(out),
          loops_(workspace.loops),
          locals_(workspace.locals),
          arguments_(workspace.arguments),
          scratch_(workspace.scratch),
          work_(workspace) {}

    void renderTree(const TemplateTree& tree) {
        const TemplateTree* outer = current_;
        current_ = &tree;
        renderBlock(tree.nodes);
        current_ = outer;
    }

  private:
    void renderBlock(const Block& block) {
        for (const Node& node : block) {
            std::visit([this](const auto& n) { visit(n); }, static_cast<const NodeVariant&>(node));
        }
    }

    void visit(const TextNode& node) { out_ += node.text; }

    void visit(const OutputNode& node) {
        // URL-encoded text holds nothing that HTML escaping replaces, so it
        // goes out as it is made; an HTML-escaped value does only where the
        // page itself is not escaped.
        const EscapeCall escapeCall = escapeCallOf(node.reference);
        if ((escapeCall == EscapeCall::Url ||
             (escapeCall == EscapeCall::Html && escape_ == Escape::None)) &&
            appendEscapeCall(node.reference, escapeCall, out_)) {
            return;
        }
        const KxContextObject value = resolve(node.reference);
        if (value.isValid()) {
            write(value);
        } else if (!node.reference.quiet) {
            out_ += node.reference.source;
        }
    }

    void visit(const IfNode& node) {
        for (const Branch& branch : node.branches) {
            if (!branch.condition || isTrue(*branch.condition)) {
                renderBlock(branch.body);
                return;
            }
        }
    }

    // The loop variable and $foreach are bound for the loop alone: when it
    // ends, the names mean again what they meant before.
    void visit(const ForeachNode& node) {
        KxEnumeration<KxContextObject> items = evaluate(node.list).getAsEnumeration();
        if (!items.hasMoreElements()) {
            return;
        }
        auto status = std::make_shared<LoopStatus>(items);
        const std::size_t mark = loops_.size();
        loops_.push_back(LoopBinding{&node.variable, node.variableHash, {}});
        loops_.push_back(LoopBinding{&kForeach, kForeachHash, KxContextObject(status)});
        for (long index = 0; items.hasMoreElements(); ++index) {
            loops_[mark].value = items.nextElement();
            status->setIndex(index);
            renderBlock(node.body);
        }
        loops_.resize(mark);
    }

    void visit(const SetNode& node) {
        assign(node.variable, node.variableHash, evaluate(node.value));
    }

    // Faults here are not fatal: one log line, and the directive writes
    // nothing.
    void visit(const ParseNode& node) {
        const KxContextObject nameValue = evaluate(node.name);
        const std::string_view name =
            nameValue.isValid() ? textOf(nameValue, work_.left) : std::string_view();
        if (name.empty()) {
            report(node.at, "#parse needs a template name");
            return;
        }
        if (parseDepth_ >= kMaxParseDepth) {
            report(node.at, "#parse(\"" + KxCString(name) + "\") nests deeper than " +
                                std::to_string(kMaxParseDepth) +
                                " templates; does a template parse itself?");
            return;
        }
        if (!current_->source) {
            report(node.at,
                   "#parse(\"" + KxCString(name) + "\"): the template has no factory to load from");
            return;
        }
        // A constant name was resolved when the template was parsed.
        KxCString error;
        const std::shared_ptr<const TemplateTree> tree = current_->source->load(
            node.target.empty() ? relativeTo(current_->name, KxCString(name)) : node.target, error);
        if (!tree) {
            report(node.at, "#parse: " + error);
            return;
        }
        ++parseDepth_;
        renderTree(*tree);
        --parseDepth_;
    }

    // The parameters are bound for the body alone, as a loop variable is;
    // the arguments are evaluated where the call stands, before any is bound.
    void visit(const MacroCallNode& node) {
        const auto macro = current_->macros.find(node.name);
        if (macro == current_->macros.end()) {
            report(node.at, "#" + node.name + " names no macro of this template");
            return;
        }
        if (macroDepth_ >= kMaxMacroDepth) {
            report(node.at, "#" + node.name + " nests deeper than " +
                                std::to_string(kMaxMacroDepth) +
                                " macro calls; does it call itself without end?");
            return;
        }
        const MacroDefinition& definition = macro->second;
        const std::size_t mark = loops_.size();
        // Bound under a name no reference has until every argument is known.
        for (std::size_t i = 0; i < definition.parameters.size(); ++i) {
            KxContextObject value =
                i < node.arguments.size() ? evaluate(node.arguments[i]) : KxContextObject();
            loops_.push_back(LoopBinding{&kUnbound, 0, std::move(value)});
        }
        for (std::size_t i = 0; i < definition.parameters.size(); ++i) {
            loops_[mark + i].name = &definition.parameters[i];
            loops_[mark + i].hash = definition.parameterHashes[i];
        }
        ++macroDepth_;
        renderBlock(definition.body);
        --macroDepth_;
        loops_.resize(mark);
    }

    void report(Position at, const KxCString& message) const {
        const KxCString line =
            "template error: " + current_->name + ":" + describe(at) + ": " + message;
        if (current_->source) {
            current_->source->log(line);
        } else {
            std::clog << line << '\n';
        }
    }

    // The value goes straight into the output; when it holds bytes that HTML
    // escaping replaces, its text is taken back out and escaped.
    void write(const KxContextObject& value) {
        const std::size_t start = out_.size();
        value.getImpl()->appendTo(out_);
        if (escape_ == Escape::None) {
            return;
        }
        const std::size_t first = findHtmlEscaped(out_, start);
        if (first != KxCString::npos) {
            scratch_.assign(out_, first);
            out_.resize(first);
            appendHtmlEscaped(out_, scratch_);
        }
    }

    // $esc.url(value) and $esc.html(value) of the built-in tool write the
    // value's text escaped straight into out, making no value of their own
    // on the way. False, writing nothing, when $esc is another value or the
    // argument is absent: the reference is then resolved as any other.
    bool appendEscapeCall(const Reference& reference, EscapeCall escapeCall, KxCString& out) {
        if (lookup(KxContextKey(reference.root, reference.rootHash)).getImpl() !=
            escapeTool().getImpl()) {
            return false;
        }
        const KxContextObject argument = evaluate(reference.steps.front().arguments.front());
        if (!argument.isValid()) {
            return false;
        }
        const std::string_view text = textOf(argument, work_.escaping);
        if (escapeCall == EscapeCall::Url) {
            kx::appendUrlEncoded(out, text);
        } else {
            appendHtmlEscaped(out, text);
        }
        return true;
    }

    // ---- names ------------------------------------------------------------

    // Loop variables (innermost first), then #set names, then the context,
    // then the built-in $esc.
    KxContextObject lookup(const KxContextKey& key) const {
        for (auto it = loops_.rbegin(); it != loops_.rend(); ++it) {
            if (key.matches(*it->name, it->hash)) {
                return it->value;
            }
        }
        for (const Binding& binding : locals_) {
            if (key.matches(binding.name, binding.hash)) {
                return binding.value;
            }
        }
        KxContextObject value = context_.get(key);
        if (!value.getImpl() && key.name == "esc") {
            return escapeTool();
        }
        return value;
    }

    // #set changes a loop variable while its loop runs; any other name is
    // set for the rest of the rendering, #parse'd templates included.
    void assign(const KxCString& name, std::size_t hash, KxContextObject value) {
        const KxContextKey key(name, hash);
        for (auto it = loops_.rbegin(); it != loops_.rend(); ++it) {
            if (key.matches(*it->name, it->hash)) {
                it->value = std::move(value);
                return;
            }
        }
        for (Binding& binding : locals_) {
            if (key.matches(binding.name, binding.hash)) {
                binding.value = std::move(value);
                return;
            }
        }
        locals_.push_back(Binding{name, hash, std::move(value)});
    }

    // ---- expressions --------------------------------------------------------

    // The value of a reference; absent as soon as one part of it is.
    KxContextObject resolve(const Reference& reference) {
        KxContextObject value = lookup(KxContextKey(reference.root, reference.rootHash));
        for (const Step& step : reference.steps) {
            if (!value.isValid()) {
                return {};
            }
            value = step.call ? call(value, step) : value.getAttribute(step.name);
        }
        return value;
    }

    // Argument lists are kept per nesting depth and reused, so a call
    // allocates none once the first rows are rendered.
    KxContextObject call(const KxContextObject& target, const Step& step) {
        const std::size_t depth = callDepth_++;
        if (arguments_.size() <= depth) {
            arguments_.emplace_back();
        }
        for (const Expr& argument : step.arguments) {
            KxContextObject value = evaluate(argument);
            arguments_[depth].push_back(std::move(value));
        }
        KxContextObject result = target.invokeMethod(step.name, arguments_[depth]);
        arguments_[depth].clear();
        --callDepth_;
        return result;
    }

    KxContextObject evaluate(const Expr& expr) {
        if (const auto* constant = std::get_if<Constant>(&expr)) {
            return constant->value;
        }
        if (const auto* reference = std::get_if<Reference>(&expr)) {
            return resolve(*reference);
        }
        if (const auto* interpolation = std::get_if<Interpolation>(&expr)) {
            return interpolate(*interpolation);
        }
        return truth(isTrue(expr));
    }

    // A value is true when it is valid and says it is true.
    bool isTrue(const Expr& expr) {
        if (const auto* operation = std::get_if<Operation>(&expr)) {
            return apply(*operation);
        }
        const KxContextObject value = evaluate(expr);
        return value.isValid() && value.toBoolean();
    }

    bool apply(const Operation& operation) {
        switch (operation.op) {
            case Op::Not:
                return !isTrue(*operation.left);
            case Op::And:
                return isTrue(*operation.left) && isTrue(*operation.right);
            case Op::Or:
                return isTrue(*operation.left) || isTrue(*operation.right);
            case Op::Eq:
                return equal(evaluate(*operation.left), evaluate(*operation.right), work_);
            case Op::Ne:
                return !equal(evaluate(*operation.left), evaluate(*operation.right), work_);
            default:
                return ordered(operation.op, evaluate(*operation.left), evaluate(*operation.right),
                               work_);
        }
    }

    // "text $ref text": absent references keep their source unless quiet. A
    // value that guards its text makes the whole string guarded.
    // The text is built in a buffer per nesting depth (an argument of a
    // method inside the string may be a string of its own) and then copied
    // once, at its size, into the value.
    KxContextObject interpolate(const Interpolation& interpolation) {
        const std::size_t depth = interpolationDepth_++;
        if (work_.texts.size() <= depth) {
            work_.texts.emplace_back();
        }
        KxCString& text = work_.texts[depth];
        text.clear();
        KxContextObject guard;
        for (const Expr& part : interpolation.parts) {
            if (const auto* reference = std::get_if<Reference>(&part)) {
                const EscapeCall escapeCall = escapeCallOf(*reference);
                if (escapeCall != EscapeCall::None &&
                    appendEscapeCall(*reference, escapeCall, text)) {
                    continue;
                }
                const KxContextObject value = resolve(*reference);
                if (value.isValid() && value.getImpl()->guardsText()) {
                    guard = value;
                    text += value.toString();
                } else if (value.isValid()) {
                    value.getImpl()->appendTo(text);
                } else if (!reference->quiet) {
                    text += reference->source;
                }
            } else {
                std::get<Constant>(part).value.getImpl()->appendTo(text);
            }
        }
        --interpolationDepth_;
        return guard.isValid() ? guard.getImpl()->guarded(KxCString(text))
                               : kxcreateContextObject(std::string_view(text));
    }

    const KxContext& context_;
    const Escape escape_;
    KxCString& out_;
    const TemplateTree* current_ = nullptr;
    int parseDepth_ = 0;
    int macroDepth_ = 0;
    std::vector<LoopBinding>& loops_;
    std::vector<Binding>& locals_;
    std::vector<std::vector<KxContextObject>>& arguments_;
    std::size_t callDepth_ = 0;
    KxCString& scratch_;
    Workspace& work_;
    std::size_t interpolationDepth_ = 0;
};

}  // namespace

void render(const TemplateTree& tree, const KxContext& context, Escape escape, KxCString& out) {
    const std::size_t start = out.size();
    out.reserve(start + tree.outputSizeHint.load(std::memory_order_relaxed));
    WorkspaceLease workspace;
    Renderer(context, escape, out, workspace.get()).renderTree(tree);
    const std::size_t written = out.size() - start;
    tree.outputSizeHint.store(written + written / 8, std::memory_order_relaxed);
}

}  // namespace kx::tl
