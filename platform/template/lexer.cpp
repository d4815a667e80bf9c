#include "platform/template/lexer.h"

#include <algorithm>

namespace kx::tl {

void raiseError(const KxCString& name, Position at, const KxCString& message) {
    throw TemplateError(name + ":" + describe(at) + ": " + message);
}

KxCString describe(Position at) {
    return std::to_string(at.line) + ":" + std::to_string(at.column);
}

bool isDirectiveName(std::string_view word) {
    static constexpr std::string_view kNames[] = {"if",      "elseif", "else",  "end",
                                                  "foreach", "set",    "parse", "macro"};
    return std::find(std::begin(kNames), std::end(kNames), word) != std::end(kNames);
}

namespace {

bool isNameStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isNameChar(char c) {
    return isNameStart(c) || isDigit(c);
}
bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isSpace(char c) {
    return isBlank(c) || c == '\n' || c == '\r';
}

// #else and #end stand alone; the others take parenthesised arguments.
bool takesArguments(std::string_view directive) {
    return directive != "else" && directive != "end";
}

// Directives that write nothing themselves; lines holding only these vanish.
bool isSilent(std::string_view directive) {
    return directive != "parse";
}

// How messages name the arguments of a directive.
KxCString argumentsOf(std::string_view directive) {
    KxCString what = "#";
    what.append(directive);
    if (directive == "if" || directive == "elseif") {
        what += " expression";
    }
    return what;
}

class Lexer {
  public:
    Lexer(std::string_view text, const KxCString& name, LexMode mode, Position start)
        : text_(text), name_(name), mode_(mode), at_(start) {}

    std::vector<Token> run() {
        lexText();
        return std::move(tokens_);
    }

  private:
    // ---- reading --------------------------------------------------------

    bool atEnd() const { return pos_ >= text_.size(); }
    char peek(std::size_t ahead = 0) const {
        return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0';
    }
    void advance(std::size_t count = 1) {
        for (; count > 0 && pos_ < text_.size(); --count, ++pos_) {
            if (text_[pos_] == '\n') {
                ++at_.line;
                at_.column = 1;
            } else {
                ++at_.column;
            }
        }
    }
    KxCString readName() {
        std::size_t begin = pos_;
        while (isNameChar(peek())) {
            advance();
        }
        return KxCString(text_.substr(begin, pos_ - begin));
    }
    void emit(TokenKind kind, KxCString text, Position at) {
        tokens_.push_back(Token{kind, std::move(text), at});
    }
    [[noreturn]] void fail(Position at, const KxCString& message) const {
        raiseError(name_, at, message);
    }

    // A reference begins at p: '$', an optional '!', an optional '{', a name.
    bool referenceAt(std::size_t p) const {
        std::size_t q = p + 1;
        if (q < text_.size() && text_[q] == '!') {
            ++q;
        }
        if (q < text_.size() && text_[q] == '{') {
            ++q;
        }
        return q < text_.size() && isNameStart(text_[q]);
    }

    // A backslash escapes a '$' that begins a reference and a '#' that
    // begins a directive or comment; any other backslash is plain text.
    bool escapesNext() const {
        if (peek(1) == '$') {
            return referenceAt(pos_ + 1);
        }
        char after = peek(2);
        return mode_ == LexMode::Template && peek(1) == '#' &&
               (isNameStart(after) || after == '{' || after == '*' || after == '#' ||
                (after == '[' && peek(3) == '['));
    }

    // ---- text mode ------------------------------------------------------

    void lexText() {
        while (!atEnd()) {
            char c = peek();
            if (c == '\\' && escapesNext()) {
                addText(peek(1));
                advance(2);
                continue;
            }
            if (c == '$' && lexReference(false)) {
                lineClean_ = false;
                continue;
            }
            if (c == '#' && mode_ == LexMode::Template && lexHash()) {
                continue;
            }
            addText(c);
            advance();
        }
        flushText(false);
        emit(TokenKind::End, {}, at_);
    }

    void addText(char c) {
        if (pending_.empty()) {
            pendingAt_ = at_;
        }
        pending_ += c;
        if (c == '\n') {
            lineClean_ = true;
            lineIndents_.clear();
        } else if (!isBlank(c) && c != '\r') {
            lineClean_ = false;
        }
    }

    // Emits the pending text. Before a silent directive on a line that has
    // held only blanks so far, the blanks since the line's start become a
    // token of their own, remembered so that endSilentDirective can drop it.
    void flushText(bool beforeSilent) {
        if (pending_.empty()) {
            return;
        }
        if (beforeSilent && lineClean_) {
            std::size_t lineStart = pending_.find_last_of('\n');
            lineStart = lineStart == KxCString::npos ? 0 : lineStart + 1;
            if (lineStart < pending_.size()) {
                if (lineStart > 0) {
                    emit(TokenKind::Text, pending_.substr(0, lineStart), pendingAt_);
                }
                emit(TokenKind::Text, pending_.substr(lineStart), Position{at_.line, 1});
                lineIndents_.push_back(tokens_.size() - 1);
                pending_.clear();
                return;
            }
        }
        emit(TokenKind::Text, std::move(pending_), pendingAt_);
        pending_.clear();
    }

    // The whitespace rule. A line that holds only silent directives and
    // blanks would otherwise leave its indentation and its line end in the
    // output: a blank line for every #if or #foreach of a generated
    // properties file or page. Called right after a silent directive: when
    // the line has held nothing else and only blanks follow up to its end,
    // the line's indentation and the blanks and line end after the directive
    // are dropped. A directive sharing its line with text keeps everything.
    void endSilentDirective() {
        if (!lineClean_) {
            return;
        }
        std::size_t p = pos_;
        while (p < text_.size() && isBlank(text_[p])) {
            ++p;
        }
        if (p + 1 < text_.size() && text_[p] == '\r' && text_[p + 1] == '\n') {
            ++p;
        }
        if (p < text_.size() && text_[p] != '\n') {
            return;
        }
        for (std::size_t index : lineIndents_) {
            tokens_[index].text.clear();
        }
        lineIndents_.clear();
        advance(p < text_.size() ? p - pos_ + 1 : p - pos_);
    }

    // At '$'. Returns false when the '$' is plain text ("$5", "a $ b").
    bool lexReference(bool inExpression) {
        if (!referenceAt(pos_)) {
            if (inExpression) {
                fail(at_, "expected a name after '$'");
            }
            return false;
        }
        flushText(false);
        const std::size_t begin = pos_;
        const Position start = at_;
        Token token{TokenKind::RefStart, {}, start};
        advance();
        if (peek() == '!') {
            token.quiet = true;
            advance();
        }
        if (peek() == '{') {
            token.braced = true;
            advance();
        }
        const bool braced = token.braced;
        tokens_.push_back(std::move(token));
        Position at = at_;
        emit(TokenKind::Name, readName(), at);
        while (peek() == '.' && isNameStart(peek(1))) {
            emit(TokenKind::Dot, ".", at_);
            advance();
            at = at_;
            KxCString name = readName();
            emit(TokenKind::Name, name, at);
            if (peek() == '(') {
                lexArguments("the arguments of '" + name + "'");
            }
        }
        if (braced) {
            if (peek() != '}') {
                fail(at_, "expected '}' to close '" + KxCString(text_.substr(begin, pos_ - begin)) +
                              "'");
            }
            advance();
        }
        emit(TokenKind::RefEnd, KxCString(text_.substr(begin, pos_ - begin)), start);
        return true;
    }

    // At '#'. Returns false when the '#' is plain text ("#1", "color: #fff").
    // An unknown name written like a directive, "#word(" or "#{word}", is an
    // error rather than text: it is most likely a misspelt directive.
    bool lexHash() {
        if (peek(1) == '#') {
            lexLineComment();
            return true;
        }
        if (peek(1) == '*') {
            lexBlockComment();
            return true;
        }
        if (peek(1) == '[' && peek(2) == '[') {
            lexUnparsed();
            return true;
        }
        const Position start = at_;
        const bool braced = peek(1) == '{';
        std::size_t nameBegin = pos_ + (braced ? 2 : 1);
        std::size_t nameEnd = nameBegin;
        while (nameEnd < text_.size() && isNameChar(text_[nameEnd])) {
            ++nameEnd;
        }
        if (nameEnd == nameBegin || !isNameStart(text_[nameBegin])) {
            return false;
        }
        if (braced && (nameEnd >= text_.size() || text_[nameEnd] != '}')) {
            return false;
        }
        const std::string_view word = text_.substr(nameBegin, nameEnd - nameBegin);
        if (!isDirectiveName(word)) {
            std::size_t after = nameEnd;
            while (after < text_.size() && isBlank(text_[after])) {
                ++after;
            }
            if (braced) {
                fail(start, "unknown directive '#" + KxCString(word) + "'");
            }
            if (after < text_.size() && text_[after] == '(') {
                lexMacroCall(KxCString(word), start, after);
                return true;
            }
            return false;
        }
        const KxCString name(word);
        const bool silent = isSilent(name);
        flushText(silent);
        emit(TokenKind::Directive, name, start);
        advance(nameEnd - pos_ + (braced ? 1 : 0));
        if (takesArguments(name)) {
            while (isBlank(peek())) {
                advance();
            }
            if (peek() != '(') {
                fail(at_, "expected '(' after #" + name);
            }
            lexArguments(argumentsOf(name));
        }
        if (silent) {
            endSilentDirective();
        } else {
            lineClean_ = false;
        }
        return true;
    }

    // "#name(arguments)": a call of the macro name (the parser checks that
    // the template defines it). A line that holds only calls and blanks
    // leaves only what the macros write, as silent directives leave nothing.
    void lexMacroCall(KxCString name, Position start, std::size_t open) {
        flushText(true);
        tokens_.push_back(Token{TokenKind::Directive, name, start});
        tokens_.back().call = true;
        advance(open - pos_);
        lexArguments("the arguments of #" + name);
        endSilentDirective();
    }

    // "#[[ ... ]]#": the text between, as it is. Generated sources keep
    // their own #if and $ this way.
    void lexUnparsed() {
        const Position start = at_;
        const std::size_t close = text_.find("]]#", pos_ + 3);
        if (close == std::string_view::npos) {
            fail(start, "unexpected end of file: the text #[[ opened at " + describe(start) +
                            " needs a ]]#");
        }
        advance(3);
        while (pos_ < close) {
            addText(peek());
            advance();
        }
        advance(3);
    }

    // "## ..." runs to the end of the line; the line end goes with it.
    void lexLineComment() {
        flushText(true);
        if (lineClean_) {
            for (std::size_t index : lineIndents_) {
                tokens_[index].text.clear();
            }
        }
        while (!atEnd() && peek() != '\n') {
            advance();
        }
        advance();
        lineClean_ = true;
        lineIndents_.clear();
    }

    void lexBlockComment() {
        const Position start = at_;
        flushText(true);
        advance(2);
        while (!(peek() == '*' && peek(1) == '#')) {
            if (atEnd()) {
                fail(at_, "unexpected end of file: the comment #* opened at " + describe(start) +
                              " needs a *#");
            }
            advance();
        }
        advance(2);
        endSilentDirective();
    }

    // ---- expression mode ------------------------------------------------

    // At '('. Reads expression tokens up to the matching ')'.
    void lexArguments(const KxCString& what) {
        const Position open = at_;
        int depth = 0;
        do {
            while (isSpace(peek())) {
                advance();
            }
            if (atEnd()) {
                fail(at_, "unexpected end of file in " + what + ": the '(' at " + describe(open) +
                              " needs a ')'");
            }
            const Position here = at_;
            const char c = peek();
            switch (c) {
                case '(':
                    ++depth;
                    emitAndAdvance(TokenKind::LParen, 1);
                    break;
                case ')':
                    --depth;
                    emitAndAdvance(TokenKind::RParen, 1);
                    break;
                case ',':
                    emitAndAdvance(TokenKind::Comma, 1);
                    break;
                case '$':
                    lexReference(true);
                    break;
                case '"':
                case '\'':
                    lexString(c);
                    break;
                case '!':
                    peek(1) == '=' ? emitAndAdvance(TokenKind::Ne, 2)
                                   : emitAndAdvance(TokenKind::Not, 1);
                    break;
                case '=':
                    peek(1) == '=' ? emitAndAdvance(TokenKind::Eq, 2)
                                   : emitAndAdvance(TokenKind::Assign, 1);
                    break;
                case '<':
                    peek(1) == '=' ? emitAndAdvance(TokenKind::Le, 2)
                                   : emitAndAdvance(TokenKind::Lt, 1);
                    break;
                case '>':
                    peek(1) == '=' ? emitAndAdvance(TokenKind::Ge, 2)
                                   : emitAndAdvance(TokenKind::Gt, 1);
                    break;
                case '&':
                case '|':
                    if (peek(1) != c) {
                        fail(here, "unexpected '" + KxCString(1, c) + "' in " + what + "; write '" +
                                       KxCString(2, c) + "'");
                    }
                    emitAndAdvance(c == '&' ? TokenKind::And : TokenKind::Or, 2);
                    break;
                default:
                    if (isDigit(c) || (c == '-' && isDigit(peek(1)))) {
                        lexNumber();
                    } else if (isNameStart(c)) {
                        lexWord();
                    } else {
                        fail(here, "unexpected '" + KxCString(1, c) + "' in " + what);
                    }
            }
        } while (depth > 0);
    }

    void emitAndAdvance(TokenKind kind, std::size_t length) {
        emit(kind, KxCString(text_.substr(pos_, length)), at_);
        advance(length);
    }

    // A string: "..." (references in it are expanded later) or '...'. A
    // backslash before the closing quote character puts that character in.
    void lexString(char quote) {
        const Position start = at_;
        advance();
        KxCString content;
        while (peek() != quote) {
            if (atEnd()) {
                fail(at_, "unexpected end of file: the string opened at " + describe(start) +
                              " needs a closing " + KxCString(1, quote));
            }
            if (peek() == '\\' && peek(1) == quote) {
                advance();
            }
            content += peek();
            advance();
        }
        advance();
        emit(quote == '"' ? TokenKind::String : TokenKind::Literal, std::move(content), start);
    }

    void lexNumber() {
        const std::size_t begin = pos_;
        const Position start = at_;
        advance();
        while (isDigit(peek())) {
            advance();
        }
        if (peek() == '.' && isDigit(peek(1))) {
            advance();
            while (isDigit(peek())) {
                advance();
            }
        }
        emit(TokenKind::Number, KxCString(text_.substr(begin, pos_ - begin)), start);
    }

    // Words: the operator words (and, or, not, eq, ne, lt, gt, le, ge) and
    // names such as in, true and false, which the parser judges.
    void lexWord() {
        static const std::pair<std::string_view, TokenKind> kOperators[] = {
            {"and", TokenKind::And}, {"or", TokenKind::Or}, {"not", TokenKind::Not},
            {"eq", TokenKind::Eq},   {"ne", TokenKind::Ne}, {"lt", TokenKind::Lt},
            {"gt", TokenKind::Gt},   {"le", TokenKind::Le}, {"ge", TokenKind::Ge},
        };
        const Position start = at_;
        KxCString word = readName();
        TokenKind kind = TokenKind::Name;
        for (const auto& [text, op] : kOperators) {
            if (word == text) {
                kind = op;
            }
        }
        emit(kind, std::move(word), start);
    }

    std::string_view text_;
    const KxCString& name_;
    LexMode mode_;
    std::size_t pos_ = 0;
    Position at_;
    std::vector<Token> tokens_;
    KxCString pending_;
    Position pendingAt_;
    // The current line has held only blanks and silent directives so far.
    bool lineClean_ = true;
    // The Text tokens holding the current line's blanks before its silent
    // directives.
    std::vector<std::size_t> lineIndents_;
};

}  // namespace

std::vector<Token> tokenize(std::string_view text, const KxCString& name, LexMode mode,
                            Position start) {
    return Lexer(text, name, mode, start).run();
}

}  // namespace kx::tl
