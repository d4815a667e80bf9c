#include "platform/template/parser.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <string>
#include <utility>

namespace kx::tl {

namespace {

class Parser {
  public:
    Parser(std::vector<Token> tokens, const KxCString& name)
        : tokens_(std::move(tokens)), name_(name) {}

    // A whole template: its nodes and its macros, every call checked
    // against the macros the template defines.
    void parseAll(TemplateTree& tree) {
        const Token& stop = parseBody(tree.nodes);
        if (stop.kind == TokenKind::Directive) {
            fail(stop, "#" + stop.text + " without " +
                           (stop.text == "end" ? "#if, #foreach or #macro" : "#if"));
        }
        for (const Call& call : calls_) {
            const auto macro = macros_.find(call.token->text);
            if (macro == macros_.end()) {
                fail(*call.token, "unknown directive '#" + call.token->text + "'");
            }
            if (!call.fault.empty()) {
                throw TemplateError(call.fault);
            }
            const std::size_t wanted = macro->second.parameters.size();
            if (call.arguments != wanted) {
                fail(*call.token, "#" + call.token->text + " takes " + std::to_string(wanted) +
                                      (wanted == 1 ? " argument" : " arguments") + ", given " +
                                      std::to_string(call.arguments));
            }
        }
        tree.macros = std::move(macros_);
    }

    // The content of a double-quoted string, lexed in string mode.
    Expr parseInterpolation() {
        Interpolation result;
        KxCString text;
        while (peek().kind != TokenKind::End) {
            if (peek().kind == TokenKind::Text) {
                text += next().text;
                continue;
            }
            if (!text.empty()) {
                result.parts.emplace_back(Constant{kxcreateContextObject(std::move(text))});
                text.clear();
            }
            result.parts.emplace_back(parseReference());
        }
        if (result.parts.empty()) {
            return Constant{kxcreateContextObject(std::move(text))};
        }
        if (!text.empty()) {
            result.parts.emplace_back(Constant{kxcreateContextObject(std::move(text))});
        }
        return Expr(std::move(result));
    }

  private:
    using DirectiveMethod = void (Parser::*)(const Token& directive, Block& into);

    // ---- tokens ---------------------------------------------------------

    const Token& peek() const { return tokens_[pos_]; }
    const Token& next() {
        const Token& token = tokens_[pos_];
        if (token.kind != TokenKind::End) {
            ++pos_;
        }
        return token;
    }
    bool accept(TokenKind kind) {
        if (peek().kind != kind) {
            return false;
        }
        next();
        return true;
    }
    const Token& expect(TokenKind kind, const KxCString& message) {
        if (peek().kind != kind) {
            fail(peek(), message);
        }
        return next();
    }
    [[noreturn]] void fail(const Token& at, const KxCString& message) const {
        raiseError(name_, at.at, message);
    }
    [[noreturn]] void failUnclosed(const Token& end, const Token& directive) const {
        fail(end, "unexpected end of file: the #" + directive.text + " opened at " +
                      describe(directive.at) + " needs an #end");
    }

    // ---- blocks ---------------------------------------------------------

    // Reads nodes into `into` up to the directive that ends the block
    // (#elseif, #else or #end), or the end of the input, and returns that
    // token.
    const Token& parseBody(Block& into) {
        static const std::pair<std::string_view, DirectiveMethod> kDirectives[] = {
            {"if", &Parser::parse_if},       {"foreach", &Parser::parse_foreach},
            {"set", &Parser::parse_set},     {"parse", &Parser::parse_parse},
            {"macro", &Parser::parse_macro},
        };
        while (true) {
            const Token& token = peek();
            switch (token.kind) {
                case TokenKind::Text:
                    addText(into, next().text);
                    break;
                case TokenKind::RefStart:
                    into.emplace_back(OutputNode{parseReference()});
                    break;
                case TokenKind::Directive: {
                    next();
                    if (token.call) {
                        parseCall(token, into);
                        break;
                    }
                    auto it =
                        std::find_if(std::begin(kDirectives), std::end(kDirectives),
                                     [&](const auto& entry) { return entry.first == token.text; });
                    if (it == std::end(kDirectives)) {
                        return token;
                    }
                    (this->*it->second)(token, into);
                    break;
                }
                case TokenKind::End:
                    return token;
                default:
                    fail(token, "unexpected '" + token.text + "'");
            }
        }
    }

    // Adjacent text (split by comments or dropped indentation) becomes one
    // node.
    static void addText(Block& into, const KxCString& text) {
        if (text.empty()) {
            return;
        }
        if (!into.empty()) {
            if (auto* last = std::get_if<TextNode>(&into.back())) {
                last->text += text;
                return;
            }
        }
        into.emplace_back(TextNode{text});
    }

    // ---- directives -----------------------------------------------------

    void parse_if(const Token& directive, Block& into) {
        IfNode node;
        node.branches.push_back(Branch{parseCondition("#if expression"), {}});
        bool sawElse = false;
        while (true) {
            const Token& stop = parseBody(node.branches.back().body);
            if (stop.kind == TokenKind::End) {
                failUnclosed(stop, directive);
            }
            if (stop.text == "end") {
                break;
            }
            if (sawElse) {
                fail(stop, "#" + stop.text + " after #else in the #if opened at " +
                               describe(directive.at));
            }
            if (stop.text == "else") {
                sawElse = true;
                node.branches.push_back(Branch{std::nullopt, {}});
            } else {
                node.branches.push_back(Branch{parseCondition("#elseif expression"), {}});
            }
        }
        into.emplace_back(std::move(node));
    }

    void parse_foreach(const Token& directive, Block& into) {
        expect(TokenKind::LParen, "expected '(' after #foreach");
        Name variable = parseVariable("#foreach needs a loop variable such as $item");
        const Token& in = next();
        if (in.kind != TokenKind::Name || in.text != "in") {
            fail(in, "expected 'in' after the loop variable in #foreach");
        }
        ForeachNode node{std::move(variable), parseExpression("#foreach"), {}};
        expect(TokenKind::RParen, "expected ')' in #foreach");
        const Token& stop = parseBody(node.body);
        if (stop.kind == TokenKind::End) {
            failUnclosed(stop, directive);
        }
        if (stop.text != "end") {
            fail(stop, "#" + stop.text + " without #if inside the #foreach opened at " +
                           describe(directive.at));
        }
        into.emplace_back(std::move(node));
    }

    void parse_set(const Token&, Block& into) {
        expect(TokenKind::LParen, "expected '(' after #set");
        Name variable = parseVariable("#set needs a name to set, such as $name");
        expect(TokenKind::Assign, "expected '=' after $" + variable.text + " in #set");
        SetNode node{std::move(variable), parseExpression("#set")};
        expect(TokenKind::RParen, "expected ')' in #set");
        into.emplace_back(std::move(node));
    }

    void parse_parse(const Token& directive, Block& into) {
        expect(TokenKind::LParen, "expected '(' after #parse");
        ParseNode node{parseExpression("#parse"), directive.at, {}};
        const auto* constant = std::get_if<Constant>(&node.name);
        if (constant && constant->value.getType() == KxContextObject::kString) {
            const KxCString target = constant->value.toString();
            if (!target.empty()) {
                node.target = relativeTo(name_, target);
            }
        }
        expect(TokenKind::RParen, "expected ')' in #parse");
        into.emplace_back(std::move(node));
    }

    // #macro(name $parameter ...) body #end; the parameters may be
    // separated by blanks or commas. The definition writes nothing where it
    // stands.
    void parse_macro(const Token& directive, Block&) {
        expect(TokenKind::LParen, "expected '(' after #macro");
        const Token& name =
            expect(TokenKind::Name, "#macro needs a name, such as #macro(row $item)");
        if (isDirectiveName(name.text)) {
            fail(name, "#" + name.text + " is a directive and cannot name a macro");
        }
        MacroDefinition macro;
        macro.at = directive.at;
        while (peek().kind == TokenKind::RefStart) {
            Name parameter = parseVariable("expected a parameter such as $item");
            if (std::any_of(macro.parameters.begin(), macro.parameters.end(),
                            [&](const Name& other) { return other.text == parameter.text; })) {
                fail(name, "the macro #" + name.text + " names $" + parameter.text + " twice");
            }
            macro.parameters.push_back(std::move(parameter));
            accept(TokenKind::Comma);
        }
        expect(TokenKind::RParen, "expected a parameter or ')' in #macro");
        const Token& stop = parseBody(macro.body);
        if (stop.kind == TokenKind::End) {
            failUnclosed(stop, directive);
        }
        if (stop.text != "end") {
            fail(stop, "#" + stop.text + " without #if inside the #macro opened at " +
                           describe(directive.at));
        }
        const auto [earlier, added] = macros_.try_emplace(name.text, std::move(macro));
        if (!added) {
            fail(name, "the macro #" + name.text + " is defined twice; first at " +
                           describe(earlier->second.at));
        }
    }

    // #name(argument, ...): checked against the template's macros once all
    // are known, since a macro may be defined after its first call.
    // Arguments that do not parse are reported then too, unless the name is
    // no macro at all: "#fro($x in $list)" is a misspelt directive first.
    void parseCall(const Token& token, Block& into) {
        const std::size_t open = pos_;
        MacroCallNode node{token.text, {}, token.at};
        KxCString fault;
        try {
            expect(TokenKind::LParen, "expected '(' after #" + token.text);
            const KxCString what = "the arguments of #" + token.text;
            if (!accept(TokenKind::RParen)) {
                do {
                    node.arguments.push_back(parseExpression(what));
                } while (accept(TokenKind::Comma));
                expect(TokenKind::RParen, "expected ',' or ')' in " + what);
            }
        } catch (const TemplateError& error) {
            fault = error.what();
            skipArguments(open);
        }
        calls_.push_back(Call{&token, node.arguments.size(), std::move(fault)});
        into.emplace_back(std::move(node));
    }

    // Moves past the parenthesised arguments that begin at token open; the
    // lexer made sure their parentheses balance.
    void skipArguments(std::size_t open) {
        pos_ = open;
        int depth = 0;
        do {
            const TokenKind kind = next().kind;
            depth += kind == TokenKind::LParen ? 1 : kind == TokenKind::RParen ? -1 : 0;
        } while (depth > 0 && peek().kind != TokenKind::End);
    }

    Expr parseCondition(const KxCString& what) {
        expect(TokenKind::LParen, "expected '(' in " + what);
        Expr condition = parseExpression(what);
        if (peek().kind == TokenKind::Assign) {
            fail(peek(), "'=' assigns; write '==' to compare in " + what);
        }
        expect(TokenKind::RParen, "expected ')' in " + what);
        return condition;
    }

    // The plain $name that #foreach and #set assign to.
    Name parseVariable(const KxCString& missing) {
        const Token& start = peek();
        if (start.kind != TokenKind::RefStart) {
            fail(start, missing);
        }
        Reference reference = parseReference();
        if (!reference.steps.empty() || reference.quiet) {
            fail(start, "'" + reference.source +
                            "' cannot be assigned; write a plain name such as $" +
                            reference.root.text);
        }
        return std::move(reference.root);
    }

    // ---- expressions ----------------------------------------------------

    Expr parseExpression(const KxCString& what) {
        Expr left = parseAnd(what);
        while (accept(TokenKind::Or)) {
            left = combine(Op::Or, std::move(left), parseAnd(what));
        }
        return left;
    }

    Expr parseAnd(const KxCString& what) {
        Expr left = parseEquality(what);
        while (accept(TokenKind::And)) {
            left = combine(Op::And, std::move(left), parseEquality(what));
        }
        return left;
    }

    Expr parseEquality(const KxCString& what) {
        Expr left = parseRelation(what);
        while (peek().kind == TokenKind::Eq || peek().kind == TokenKind::Ne) {
            Op op = next().kind == TokenKind::Eq ? Op::Eq : Op::Ne;
            left = combine(op, std::move(left), parseRelation(what));
        }
        return left;
    }

    Expr parseRelation(const KxCString& what) {
        static const std::pair<TokenKind, Op> kOperators[] = {
            {TokenKind::Lt, Op::Lt},
            {TokenKind::Gt, Op::Gt},
            {TokenKind::Le, Op::Le},
            {TokenKind::Ge, Op::Ge},
        };
        Expr left = parseUnary(what);
        while (true) {
            auto it = std::find_if(std::begin(kOperators), std::end(kOperators),
                                   [&](const auto& entry) { return entry.first == peek().kind; });
            if (it == std::end(kOperators)) {
                return left;
            }
            next();
            left = combine(it->second, std::move(left), parseUnary(what));
        }
    }

    Expr parseUnary(const KxCString& what) {
        if (accept(TokenKind::Not)) {
            Operation operation;
            operation.op = Op::Not;
            operation.left = std::make_unique<Expr>(parseUnary(what));
            return Expr(std::move(operation));
        }
        return parsePrimary(what);
    }

    Expr parsePrimary(const KxCString& what) {
        const Token& token = peek();
        switch (token.kind) {
            case TokenKind::RefStart:
                return parseReference();
            case TokenKind::String:
                next();
                return parseString(token);
            case TokenKind::Literal:
                next();
                return Constant{kxcreateContextObject(token.text)};
            case TokenKind::Number:
                next();
                return Constant{parseNumber(token)};
            case TokenKind::Name:
                if (token.text == "true" || token.text == "false") {
                    next();
                    return Constant{kxcreateContextObject(token.text == "true")};
                }
                fail(token, "unexpected word '" + token.text + "' in " + what);
            case TokenKind::LParen: {
                next();
                Expr inner = parseExpression(what);
                expect(TokenKind::RParen, "expected ')' in " + what);
                return inner;
            }
            default:
                fail(token, "expected a value in " + what);
        }
    }

    static Expr combine(Op op, Expr left, Expr right) {
        Operation operation;
        operation.op = op;
        operation.left = std::make_unique<Expr>(std::move(left));
        operation.right = std::make_unique<Expr>(std::move(right));
        return Expr(std::move(operation));
    }

    KxContextObject parseNumber(const Token& token) const {
        const char* first = token.text.data();
        const char* last = first + token.text.size();
        if (token.text.find('.') != KxCString::npos) {
            double value = 0;
            std::from_chars(first, last, value);
            return kxcreateContextObject(value);
        }
        long long value = 0;
        if (std::from_chars(first, last, value).ec != std::errc()) {
            fail(token, "the number " + token.text + " is too large");
        }
        return kxcreateContextObject(value);
    }

    // A double-quoted string: a constant unless it holds references.
    Expr parseString(const Token& token) {
        if (token.text.find('$') == KxCString::npos) {
            return Constant{kxcreateContextObject(token.text)};
        }
        // The content begins after the opening quote.
        const Position content{token.at.line, token.at.column + 1};
        return Parser(tokenize(token.text, name_, LexMode::String, content), name_)
            .parseInterpolation();
    }

    Reference parseReference() {
        const Token& start = expect(TokenKind::RefStart, "expected a reference");
        Reference reference;
        reference.quiet = start.quiet;
        reference.root = Name(expect(TokenKind::Name, "expected a name after '$'").text);
        while (accept(TokenKind::Dot)) {
            Step step;
            step.name = expect(TokenKind::Name, "expected a name after '.'").text;
            if (accept(TokenKind::LParen)) {
                step.call = true;
                const KxCString what = "the arguments of '" + step.name + "'";
                if (!accept(TokenKind::RParen)) {
                    do {
                        step.arguments.push_back(parseExpression(what));
                    } while (accept(TokenKind::Comma));
                    expect(TokenKind::RParen, "expected ',' or ')' in " + what);
                }
            }
            reference.steps.push_back(std::move(step));
        }
        reference.source = expect(TokenKind::RefEnd, "expected the end of the reference").text;
        reference.escapeCall = escapeCallOf(reference);
        return reference;
    }

    // EscapeCall::Url for $esc.url(one argument), EscapeCall::Html for
    // $esc.html(one argument), EscapeCall::None for any other reference.
    static EscapeCall escapeCallOf(const Reference& reference) {
        if (reference.root.text != "esc" || reference.steps.size() != 1) {
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

    // A macro call seen, to check once the whole template is read.
    struct Call {
        const Token* token;  // in tokens_, which stays put
        std::size_t arguments;
        KxCString fault;  // why the arguments did not parse, if they did not
    };

    std::vector<Token> tokens_;
    const KxCString& name_;
    std::size_t pos_ = 0;
    std::map<KxCString, MacroDefinition, std::less<>> macros_;
    std::vector<Call> calls_;
};

}  // namespace

// #parse names are relative to the folder of the template that holds the
// directive; a name beginning with '/' starts at the template folder.
KxCString relativeTo(const KxCString& from, const KxCString& name) {
    if (name.front() == '/') {
        const std::size_t start = name.find_first_not_of('/');
        return start == KxCString::npos ? KxCString() : name.substr(start);
    }
    const std::size_t slash = from.find_last_of('/');
    return slash == KxCString::npos ? name : from.substr(0, slash + 1) + name;
}

std::shared_ptr<TemplateTree> parseTemplate(std::string_view text, const KxCString& name) {
    auto tree = std::make_shared<TemplateTree>();
    tree->name = name;
    Parser(tokenize(text, name), name).parseAll(*tree);
    return tree;
}

}  // namespace kx::tl
