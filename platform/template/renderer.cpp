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

// Appends the text as the escape tool's method writes it.
void appendEscaped(KxCString& out, EscapeCall call, std::string_view text) {
    if (call == EscapeCall::Url) {
        kx::appendUrlEncoded(out, text);
    } else {
        appendHtmlEscaped(out, text);
    }
}

// $esc, offered by every rendering unless the context holds an "esc":
// $esc.url(value) encodes a value for a link, $esc.html(value) for a page.
class EscapeTool : public KxContextObjectImpl {
  public:
    EscapeTool() : KxContextObjectImpl(KxContextObject::kRecord) {}

    KxContextObject invokeMethod(const KxCString& name,
                                 const std::vector<KxContextObject>& arguments) override {
        const EscapeCall call = name == "url"    ? EscapeCall::Url
                                : name == "html" ? EscapeCall::Html
                                                 : EscapeCall::None;
        if (arguments.size() != 1 || !arguments[0].isValid() || call == EscapeCall::None) {
            return {};
        }
        thread_local KxCString text;  // reused: one allocation fewer per call
        text.clear();
        arguments[0].getImpl()->appendTo(text);
        KxCString escaped;
        escaped.reserve(text.size() + text.size() / 4);
        appendEscaped(escaped, call, text);
        return kxcreateContextObject(std::move(escaped));
    }
};

const KxContextObject& escapeTool() {
    static const KxContextObject tool(std::make_shared<EscapeTool>());
    return tool;
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

const Name kForeach("foreach");

// ---- the walk -----------------------------------------------------------------

class Renderer {
  public:
    Renderer(const KxContext& context, Escape escape, KxCString& out, Workspace& workspace)
        : context_(context),
          escape_(escape),
          out_(out),
          slots_(workspace.slots),
          touched_(workspace.touched),
          saved_(workspace.saved),
          arguments_(workspace.arguments),
          scratch_(workspace.scratch),
          work_(workspace) {}

    void renderTree(const TemplateTree& tree) {
        // Every name of the tree has its slot in the table before the walk,
        // so that the table does not move while a value found in it is in
        // use (valueOf).
        if (const std::uint32_t count = nameSlotCount(); slots_.size() < count) {
            slots_.resize(count);
        }
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
        const EscapeCall escapeCall = node.reference.escapeCall;
        if ((escapeCall == EscapeCall::Url ||
             (escapeCall == EscapeCall::Html && escape_ == Escape::None)) &&
            appendEscapeCall(node.reference, escapeCall, out_)) {
            return;
        }
        KxContextObject holder;
        const KxContextObject& value = valueOf(node.reference, holder);
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
        const std::size_t mark = saved_.size();
        bind(node.variable, {});
        bind(kForeach, KxContextObject(status));
        // A loop variable named foreach is hidden by the loop's status.
        const bool shown = node.variable.slot != kForeach.slot;
        for (long index = 0; items.hasMoreElements(); ++index) {
            KxContextObject item = items.nextElement();
            if (shown) {
                slots_[node.variable.slot].value = std::move(item);
            }
            status->setIndex(index);
            renderBlock(node.body);
        }
        unbind(mark);
    }

    void visit(const SetNode& node) { assign(node.variable, evaluate(node.value)); }

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
        // A constant name was resolved when the template was parsed (and is
        // passed as it is, not copied).
        KxCString error;
        const std::shared_ptr<const TemplateTree> tree =
            node.target.empty()
                ? current_->source->load(relativeTo(current_->name, KxCString(name)), error)
                : current_->source->load(node.target, error);
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
        // Every argument is known before any parameter is bound; they wait
        // in the argument list of this call depth, as a method's do.
        const std::size_t depth = callDepth_++;
        if (arguments_.size() <= depth) {
            arguments_.emplace_back();
        }
        for (std::size_t i = 0; i < definition.parameters.size(); ++i) {
            KxContextObject value =
                i < node.arguments.size() ? evaluate(node.arguments[i]) : KxContextObject();
            arguments_[depth].push_back(std::move(value));
        }
        const std::size_t mark = saved_.size();
        for (std::size_t i = 0; i < definition.parameters.size(); ++i) {
            bind(definition.parameters[i], std::move(arguments_[depth][i]));
        }
        arguments_[depth].clear();
        --callDepth_;
        ++macroDepth_;
        renderBlock(definition.body);
        --macroDepth_;
        unbind(mark);
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
        if (lookup(reference.root).getImpl() != escapeTool().getImpl()) {
            return false;
        }
        const KxContextObject argument = evaluate(reference.steps.front().arguments.front());
        if (!argument.isValid()) {
            return false;
        }
        appendEscaped(out, escapeCall, textOf(argument, work_.escaping));
        return true;
    }

    // ---- names ------------------------------------------------------------

    // A name's value is kept in its slot: a loop variable or a macro
    // parameter while it is bound, then a #set value, then the context's
    // value (the built-in $esc when the context has none), asked for once
    // and kept for the rest of the rendering. The reference is good until
    // the next binding.
    const KxContextObject& lookup(const Name& name) {
        SlotValue& slot = slotAt(name.slot);
        if (slot.state != SlotValue::State::Unknown) {
            return slot.value;
        }
        KxContextObject value = context_.get(name.key());
        if (!value.getImpl() && name.text == "esc") {
            value = escapeTool();
        }
        SlotValue& known = slots_[name.slot];
        touch(known, name.slot);
        known.state = SlotValue::State::Known;
        known.value = std::move(value);
        return known.value;
    }

    // #set changes a loop variable while its loop runs; any other name is
    // set for the rest of the rendering, #parse'd templates included.
    void assign(const Name& name, KxContextObject value) {
        SlotValue& slot = slotAt(name.slot);
        touch(slot, name.slot);
        if (slot.state != SlotValue::State::Bound) {
            slot.state = SlotValue::State::Known;
        }
        slot.value = std::move(value);
    }

    // Binds a loop variable or a macro parameter until unbind(mark), mark
    // being the size of saved_ before the first binding.
    void bind(const Name& name, KxContextObject value) {
        SlotValue& slot = slotAt(name.slot);
        saved_.push_back(SavedSlot{name.slot, slot.state, std::move(slot.value)});
        touch(slot, name.slot);
        slot.state = SlotValue::State::Bound;
        slot.value = std::move(value);
    }

    void unbind(std::size_t mark) {
        while (saved_.size() > mark) {
            SavedSlot& saved = saved_.back();
            SlotValue& slot = slots_[saved.slot];
            slot.state = saved.state;
            slot.value = std::move(saved.value);
            saved_.pop_back();
        }
    }

    // renderTree makes room for every slot of the tree it walks; this only
    // guards the table's end.
    SlotValue& slotAt(std::uint32_t slot) {
        if (slot >= slots_.size()) {
            slots_.resize(slot + 1);
        }
        return slots_[slot];
    }

    // The lease puts every slot a rendering changed back to Unknown.
    void touch(SlotValue& value, std::uint32_t slot) {
        if (!value.touched) {
            value.touched = true;
            touched_.push_back(slot);
        }
    }

    // ---- expressions --------------------------------------------------------

    // The value of a reference; absent as soon as one part of it is.
    KxContextObject resolve(const Reference& reference) {
        KxContextObject value = lookup(reference.root);
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
        KxContextObject holder;
        const KxContextObject& value = valueOf(expr, holder);
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
            default:
                break;
        }
        KxContextObject leftHolder, rightHolder;
        const KxContextObject& left = valueOf(*operation.left, leftHolder);
        const KxContextObject& right = valueOf(*operation.right, rightHolder);
        switch (operation.op) {
            case Op::Eq:
                return equal(left, right, work_);
            case Op::Ne:
                return !equal(left, right, work_);
            default:
                return ordered(operation.op, left, right, work_);
        }
    }

    // The value of an expression without a copy where it has one already: a
    // constant's own, or a plain $name's in its slot; else the value made,
    // kept in holder. Good until the next binding: no expression binds, and
    // the slot table does not move during a walk (renderTree).
    const KxContextObject& valueOf(const Expr& expr, KxContextObject& holder) {
        if (const auto* constant = std::get_if<Constant>(&expr)) {
            return constant->value;
        }
        if (const auto* reference = std::get_if<Reference>(&expr)) {
            return valueOf(*reference, holder);
        }
        holder = evaluate(expr);
        return holder;
    }

    const KxContextObject& valueOf(const Reference& reference, KxContextObject& holder) {
        if (reference.steps.empty()) {
            return lookup(reference.root);
        }
        holder = resolve(reference);
        return holder;
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
                const EscapeCall escapeCall = reference->escapeCall;
                if (escapeCall != EscapeCall::None &&
                    appendEscapeCall(*reference, escapeCall, text)) {
                    continue;
                }
                KxContextObject holder;
                const KxContextObject& value = valueOf(*reference, holder);
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
    std::vector<SlotValue>& slots_;
    std::vector<std::uint32_t>& touched_;
    std::vector<SavedSlot>& saved_;
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
