#include "orvowizard/runs/KxBuildDiagnostics.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace {

using Kind = KxBuildDiagnostic::Kind;
using std::string_view;
constexpr auto npos = string_view::npos;

// ---- one line as a terminal shows it -----------------------------------------

// Skips the escape sequence starting at s[i] (an ESC): a CSI sequence such as
// a colour up to its final byte, an OSC sequence such as a link up to BEL or
// ESC backslash, else ESC and the byte after it.
std::size_t skipEscape(string_view s, std::size_t i) {
    ++i;
    if (i >= s.size()) {
        return i;
    }
    if (s[i] == '[') {
        ++i;
        while (i < s.size() && !(s[i] >= 0x40 && s[i] <= 0x7e)) {
            ++i;
        }
        return std::min(i + 1, s.size());
    }
    if (s[i] == ']') {
        for (++i; i < s.size(); ++i) {
            if (s[i] == '\a') {
                return i + 1;
            }
            if (s[i] == '\x1b' && i + 1 < s.size() && s[i + 1] == '\\') {
                return i + 2;
            }
        }
        return i;
    }
    return i + 1;
}

bool isContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The line without escape sequences and without a CR at its end, cut at
// kMaxDiagnosticLineBytes on a character boundary.
std::string cleanLine(string_view raw) {
    if (raw.ends_with('\r')) {
        raw.remove_suffix(1);
    }
    std::string out;
    out.reserve(std::min(raw.size(), kMaxDiagnosticLineBytes));
    std::size_t i = 0;
    while (i < raw.size() && out.size() < kMaxDiagnosticLineBytes) {
        if (raw[i] == '\x1b') {
            i = skipEscape(raw, i);
        } else {
            out += raw[i++];
        }
    }
    if (i < raw.size() && isContinuationByte(raw[i])) {
        // The cut fell inside a character: drop its first bytes too.
        while (!out.empty() && isContinuationByte(out.back())) {
            out.pop_back();
        }
        if (!out.empty()) {
            out.pop_back();
        }
    }
    return out;
}

// ---- pieces of a line -----------------------------------------------------------

std::optional<int> parseNumber(string_view s) {
    if (s.empty() || s.size() > 9 ||
        !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    int value = 0;
    for (char c : s) {
        value = value * 10 + (c - '0');
    }
    return value;
}

struct Location {
    string_view file;
    int line = -1;
    int column = -1;
    int numbers = 0;  // how many of line and column were given
};

// Splits "file:line:column", "file:line" or "file". The numbers are taken
// from the right, so a colon inside the file name (a drive letter) stays.
Location parseLocation(string_view text) {
    std::optional<int> numbers[2];
    int count = 0;
    while (count < 2) {
        const auto colon = text.rfind(':');
        if (colon == npos) {
            break;
        }
        numbers[count] = parseNumber(text.substr(colon + 1));
        if (!numbers[count]) {
            break;
        }
        ++count;
        text = text.substr(0, colon);
    }
    Location location{text};
    location.numbers = count;
    if (count == 2) {
        location.line = *numbers[1];
        location.column = *numbers[0];
    } else if (count == 1) {
        location.line = *numbers[0];
    }
    return location;
}

struct DiagnosticLine {
    string_view location;  // empty when the line starts with the keyword
    string_view keyword;
    string_view message;
};

// "location: error|warning|fatal error|note: message", the location possibly
// absent. The first ": " followed by a keyword splits the line.
std::optional<DiagnosticLine> splitDiagnostic(string_view line) {
    static constexpr string_view kKeywords[] = {"error: ", "warning: ", "fatal error: ", "note: "};
    const auto keywordAt = [](string_view rest) -> string_view {
        for (string_view keyword : kKeywords) {
            if (rest.starts_with(keyword)) {
                return keyword;
            }
        }
        return {};
    };
    if (const auto keyword = keywordAt(line); !keyword.empty()) {
        return DiagnosticLine{{}, keyword, line.substr(keyword.size())};
    }
    for (auto p = line.find(": "); p != npos; p = line.find(": ", p + 1)) {
        if (const auto keyword = keywordAt(line.substr(p + 2)); !keyword.empty()) {
            return DiagnosticLine{line.substr(0, p), keyword, line.substr(p + 2 + keyword.size())};
        }
    }
    return std::nullopt;
}

// A program's name rather than a file: "g++", "cc1plus", "clang-14".
bool isToolName(string_view name) {
    return !name.empty() && name.find_first_of("/\\. ") == npos;
}

bool isLinkerName(string_view name) {
    if (name.empty() || name.find(' ') != npos) {
        return false;
    }
    const auto slash = name.find_last_of("/\\");
    const auto base = slash == npos ? name : name.substr(slash + 1);
    return base == "ld" || base.starts_with("ld.") || base.starts_with("ld64") ||
           base.ends_with("-ld") || base == "collect2";
}

// The closing line of a failed link ("collect2: error: ld returned 1 exit
// status", "clang: error: linker command failed ..."), which adds nothing to
// the linker's own lines.
bool isLinkFailureSummary(string_view message) {
    return message.starts_with("ld returned ") || message.starts_with("linker command failed");
}

// GCC's source excerpt: "   12 | text", "      |   ^~~" or a fix-it "  +++ |+text".
bool isGccExcerpt(string_view s) {
    if (!s.starts_with(' ')) {
        return false;
    }
    auto i = s.find_first_not_of(' ');
    const auto start = i;
    if (i == npos) {
        return false;
    }
    if (s.substr(i).starts_with("+++")) {
        i += 3;
    } else {
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            ++i;
        }
    }
    if (i > start) {
        if (i >= s.size() || s[i] != ' ') {
            return false;
        }
        i = s.find_first_not_of(' ', i);
    }
    return i != npos && s[i] == '|';
}

// Clang's (and GCC's without line numbers) caret line under a source line.
bool isCaretLine(string_view s) {
    return s.find_first_not_of(" ^~") == npos && s.find_first_of("^~") != npos;
}

// "In file included from a.h:3," and its "                 from b.cpp:1:".
bool isIncludeLine(string_view s) {
    if (s.starts_with("In file included from ")) {
        return true;
    }
    const auto text = s.find_first_not_of(' ');
    return text != npos && text > 0 && s.substr(text).starts_with("from ") &&
           (s.ends_with(',') || s.ends_with(':'));
}

// GCC's "file: In function 'int f()':", "file: In instantiation of ...:",
// "file: At global scope:".
bool isScopeHeader(string_view s) {
    if (!s.ends_with(':')) {
        return false;
    }
    const auto in = s.find(": In ");
    const auto at = s.find(": At ");
    return (in != npos && in > 0) || (at != npos && at > 0);
}

// GCC's steps of an instantiation: "file:8:16:   required from here",
// "file:4:5:   required by substitution of ...", "[ skipping 3 ... ]".
bool isInstantiationStep(string_view s) {
    const auto colon = s.find(": ");
    if (colon == npos || !s.substr(colon + 2).starts_with("  ")) {
        return false;
    }
    const auto location = parseLocation(s.substr(0, colon));
    return location.numbers > 0 && !location.file.empty();
}

bool isSummary(string_view s) {
    return s.ends_with(" generated.") || s == "compilation terminated." ||
           s.ends_with("being treated as errors");
}

// make's "... .  Stop." ending, which the page need not repeat.
string_view withoutStop(string_view message) {
    if (message.ends_with("  Stop.")) {
        message.remove_suffix(7);
    }
    return message;
}

// ---- the reader ---------------------------------------------------------------

void keep(std::vector<std::string>& lines, std::string line) {
    if (lines.size() < kMaxDiagnosticContextLines) {
        lines.push_back(std::move(line));
    }
}

class Reader {
  public:
    explicit Reader(std::size_t maxEntries) : maxEntries_(maxEntries) {}

    bool stopped() const { return result_.truncated; }
    KxBuildDiagnostics take() { return std::move(result_); }

    // Takes one line: the first kind it is of decides where it goes. A line
    // of no known kind is dropped, unless a caret line shows it was source.
    void read(std::string text) {
        const string_view s = text;
        const bool afterCaret = std::exchange(afterCaret_, false);
        std::optional<std::string> held = std::exchange(held_, std::nullopt);
        if (s.find_first_not_of(' ') == npos) {
            return;
        }
        if (isGccExcerpt(s)) {
            addToCurrent(std::move(text));
        } else if (readMakeLine(s)) {
        } else if (isIncludeLine(s)) {
            keep(pending_, std::move(text));
        } else if (readLinkerLine(s, text)) {
        } else if (const auto diagnostic = splitDiagnostic(s)) {
            readDiagnostic(*diagnostic, text);
        } else if (isScopeHeader(s) || isInstantiationStep(s)) {
            keep(pending_, std::move(text));
        } else if (readLocatedLine(s)) {
        } else if (isSummary(s)) {
        } else if (isCaretLine(s)) {
            if (held) {
                addToCurrent(std::move(*held));
            }
            addToCurrent(std::move(text));
            afterCaret_ = true;
        } else if (afterCaret && s.starts_with(' ')) {
            addToCurrent(std::move(text));  // Clang's fix-it under the caret
        } else if (current_) {
            held_ = std::move(text);  // a source line if a caret line follows
        }
    }

  private:
    void open(Kind kind, string_view file, int line, int column, string_view message) {
        if (result_.entries.size() >= maxEntries_) {
            result_.truncated = true;
            return;
        }
        KxBuildDiagnostic& entry = result_.entries.emplace_back();
        entry.kind = kind;
        entry.file = file;
        entry.line = line;
        entry.column = column;
        entry.message = message;
        entry.context = std::exchange(pending_, {});
        current_ = result_.entries.size() - 1;
    }

    void openLinker(Kind kind, string_view file, int line, string_view message) {
        open(kind, file, line, -1, message);
        lastLinker_ = current_;
    }

    void addToCurrent(std::string line) {
        if (current_) {
            keep(result_.entries[*current_].context, std::move(line));
        }
    }

    // A note, with the include chain printed before it, belongs to the
    // diagnostic before it; without one it waits for the next.
    void addNote(std::string line) {
        if (!current_) {
            keep(pending_, std::move(line));
            return;
        }
        for (auto& waiting : std::exchange(pending_, {})) {
            addToCurrent(std::move(waiting));
        }
        addToCurrent(std::move(line));
    }

    void foldLinkFailure(const std::string& text, string_view message) {
        if (lastLinker_) {
            keep(result_.entries[*lastLinker_].context, text);
        } else {
            openLinker(Kind::Error, {}, -1, message);
        }
    }

    void readDiagnostic(const DiagnosticLine& diagnostic, const std::string& text) {
        if (diagnostic.keyword == "note: ") {
            addNote(text);
            return;
        }
        if (isLinkFailureSummary(diagnostic.message)) {
            foldLinkFailure(text, diagnostic.message);
            return;
        }
        const Location location = parseLocation(diagnostic.location);
        const bool tool = location.numbers == 0 && isToolName(location.file);
        open(diagnostic.keyword == "warning: " ? Kind::Warning : Kind::Error,
             tool ? string_view() : location.file, location.line, location.column,
             diagnostic.message);
    }

    // make's own lines ("make: ...", "make[2]: ..."). Only a failure that
    // names no recipe is kept, such as a missing rule: "*** [target] Error 1"
    // follows what the compiler or linker already said.
    bool readMakeLine(string_view s) {
        if (!s.starts_with("make")) {
            return false;
        }
        auto rest = s.substr(4);
        if (rest.starts_with('[')) {
            const auto close = rest.find(']');
            if (close == npos || !parseNumber(rest.substr(1, close - 1))) {
                return false;
            }
            rest.remove_prefix(close + 1);
        }
        if (!rest.starts_with(": ")) {
            return false;
        }
        rest.remove_prefix(2);
        if (rest.starts_with("*** ")) {
            rest.remove_prefix(4);
            if (!rest.starts_with('[') && !rest.starts_with("Waiting for")) {
                open(Kind::Error, {}, -1, -1, withoutStop(rest));
            }
        } else if (rest.starts_with("warning: ")) {
            open(Kind::Warning, {}, -1, -1, rest.substr(9));
        }
        return true;
    }

    // "/usr/bin/ld: ...": a message of the linker, or the "in function" line
    // naming where the next one was found.
    bool readLinkerLine(string_view s, const std::string& text) {
        const auto colon = s.find(": ");
        if (colon == npos || !isLinkerName(s.substr(0, colon))) {
            return false;
        }
        auto rest = s.substr(colon + 2);
        Kind kind = Kind::Error;
        if (rest.starts_with("warning: ")) {
            kind = Kind::Warning;
            rest.remove_prefix(9);
        } else if (rest.starts_with("error: ")) {
            rest.remove_prefix(7);
        }
        if (isLinkFailureSummary(rest)) {
            foldLinkFailure(text, rest);
        } else if (rest.ends_with(':')) {
            keep(pending_, text);
        } else if (!readLocatedLine(rest, kind)) {
            openLinker(kind, {}, -1, rest);
        }
        return true;
    }

    // "x.o:(.text+0x1a): message" or "x.cpp:12: message" from the linker, and
    // "makefile:3: *** missing separator.  Stop." from make.
    bool readLocatedLine(string_view s, Kind kind = Kind::Error) {
        if (const auto open = s.find(":("); open != npos && open > 0) {
            const auto file = s.substr(0, open);
            const auto close = s.find("): ", open);
            if (file.find(' ') == npos && close != npos) {
                openLinker(kind, file, -1, s.substr(close + 3));
                return true;
            }
        }
        const auto colon = s.find(": ");
        if (colon == npos) {
            return false;
        }
        const Location location = parseLocation(s.substr(0, colon));
        const auto message = s.substr(colon + 2);
        if (location.numbers != 1 || location.file.empty() || message.empty() ||
            message[0] == ' ') {
            return false;
        }
        if (message.starts_with("*** ")) {
            open(Kind::Error, location.file, location.line, -1, withoutStop(message.substr(4)));
        } else {
            openLinker(kind, location.file, location.line, message);
        }
        return true;
    }

    KxBuildDiagnostics result_;
    std::size_t maxEntries_;
    // Lines printed before the diagnostic they belong to.
    std::vector<std::string> pending_;
    std::optional<std::size_t> current_;
    std::optional<std::size_t> lastLinker_;
    std::optional<std::string> held_;
    bool afterCaret_ = false;
};

}  // namespace

KxBuildDiagnostics readBuildDiagnostics(string_view console, std::size_t maxEntries) {
    Reader reader(maxEntries);
    while (!console.empty() && !reader.stopped()) {
        const auto end = console.find('\n');
        reader.read(cleanLine(console.substr(0, end)));
        console.remove_prefix(end == npos ? console.size() : end + 1);
    }
    return reader.take();
}
