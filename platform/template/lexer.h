#pragma once
// Stage one of the template engine: the lexer turns the text of a template
// into tokens.
//
// Template text is read in text mode: literal text becomes Text tokens, a
// reference ($name, $!name, ${name}, $a.b.c($x, "y")) becomes
//   RefStart Name {Dot Name [LParen ...arguments... RParen]} RefEnd
// and a directive (#if, #{end}, ...) becomes a Directive token, followed by
// its parenthesised arguments for the directives that take some; a macro
// call (#name(...)) is a Directive token marked as a call. Text between
// #[[ and ]]# is taken as it is, without references or directives. Inside
// parentheses the lexer reads expression tokens: references, strings,
// numbers, words and operators. Comments (## and #* *#) produce no tokens.
//
// The lexer also applies the whitespace rule (see Lexer::endSilentDirective):
// a line holding only directives that produce no output (#if, #elseif, #else,
// #end, #foreach, #set, #macro, comments) and blanks leaves no line in the
// output, and a line holding only macro calls leaves just what they write.
#include <string_view>
#include <vector>

#include "platform/base/KxCString.h"
#include "platform/base/Kxxmsg.h"

namespace kx::tl {

// A fault in a template. The message reads "name:line:column: what".
class TemplateError : public Kxxmsg {
  public:
    using Kxxmsg::Kxxmsg;
};

// Line and column, both counted from 1; the column counts bytes.
struct Position {
    int line = 1;
    int column = 1;
};

// Throws the TemplateError "name:line:column: message".
[[noreturn]] void raiseError(const KxCString& name, Position at, const KxCString& message);
// "line:column", as messages name the place a directive was opened.
KxCString describe(Position at);
// The names of the language's directives; any other #name(...) calls a macro.
bool isDirectiveName(std::string_view word);

enum class TokenKind {
    Text,       // literal text, escapes already resolved
    RefStart,   // '$', with quiet ($!) and braced (${) flags
    RefEnd,     // end of a reference; text is the reference as written
    Name,       // a name or a word (in, true, false)
    Dot,        // '.' between the parts of a reference
    LParen,     // '('
    RParen,     // ')'
    Comma,      // ','
    String,     // "..." (text is the content; references in it are expanded)
    Literal,    // '...' (text is the content, taken as it is)
    Number,     // 12, -3, 1.5
    Not,        // ! or not
    Eq,         // == or eq
    Ne,         // != or ne
    And,        // && or and
    Or,         // || or or
    Lt,         // < or lt
    Gt,         // > or gt
    Le,         // <= or le
    Ge,         // >= or ge
    Assign,     // =
    Directive,  // the directive's name (if, elseif, else, end, foreach, set, parse, macro)
                // or, with call set, the name of a macro called
    End,        // end of the input
};

struct Token {
    TokenKind kind = TokenKind::End;
    KxCString text;
    Position at;
    bool quiet = false;
    bool braced = false;
    // A Directive token that calls a macro (#name(...)) rather than naming a directive.
    bool call = false;
};

// Template: the whole language. String: the content of a double-quoted
// string, where only references and \$ count and '#' is plain text.
enum class LexMode { Template, String };

// The tokens of text, always ending with an End token. name is used in
// error messages; start is the position of text's first character within
// the template file.
std::vector<Token> tokenize(std::string_view text, const KxCString& name,
                            LexMode mode = LexMode::Template, Position start = {});

}  // namespace kx::tl
