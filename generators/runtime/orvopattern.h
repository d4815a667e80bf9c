// orvopattern.h: the pattern facet of XML Schema simple types: regular
// expressions in the schema's own dialect (implicitly anchored, character
// class subtraction, \i \c \d \w \p{..} escapes), matched in time linear in
// the text by simulating the expression's automaton over code points.
//
// Unicode categories and blocks (\p{Lu}, \w, \d ...) are known exactly for
// ASCII; a text holding other characters is not checked against a pattern
// that uses them (match() says so), so that a valid value is never refused.
//
// Standalone, valid C++17.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvo {

// A pattern that is not a valid XML Schema regular expression, or too large.
class PatternError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

namespace pattern_detail {

// The code points of UTF-8 text; a malformed byte stands for itself.
inline std::u32string codePoints(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const int extra = byte >= 0xF0 ? 3 : byte >= 0xE0 ? 2 : byte >= 0xC0 ? 1 : 0;
        char32_t c = extra == 0 ? byte : byte & (0x3F >> extra);
        std::size_t at = i + 1;
        for (int k = 0; k < extra && at < text.size(); ++k, ++at) {
            c = (c << 6) | (static_cast<unsigned char>(text[at]) & 0x3F);
        }
        out.push_back(c);
        i = at;
    }
    return out;
}

using Ranges = std::vector<std::pair<char32_t, char32_t>>;

// The ASCII members of a general category (or a block), as ranges; empty
// and false when the name is not one.
inline bool asciiCategory(std::string_view name, Ranges& out) {
    struct Entry {
        const char* name;
        const char* members;  // pairs of first and last character
    };
    static const Entry kTable[] = {{"L", "AZaz"},
                                   {"Lu", "AZ"},
                                   {"Ll", "az"},
                                   {"Lt", ""},
                                   {"Lm", ""},
                                   {"Lo", ""},
                                   {"M", ""},
                                   {"Mn", ""},
                                   {"Mc", ""},
                                   {"Me", ""},
                                   {"N", "09"},
                                   {"Nd", "09"},
                                   {"Nl", ""},
                                   {"No", ""},
                                   {"P", "!#%*,/:;?@[]__{{}}"},
                                   {"Pc", "__"},
                                   {"Pd", "--"},
                                   {"Ps", "(([[{{"},
                                   {"Pe", "))]]}}"},
                                   {"Pi", ""},
                                   {"Pf", ""},
                                   {"Po", "!#%'**,,./:;?@\\\\"},
                                   {"Z", "  "},
                                   {"Zs", "  "},
                                   {"Zl", ""},
                                   {"Zp", ""},
                                   {"S", "$$++<>^^``||~~"},
                                   {"Sm", "++<>||~~"},
                                   {"Sc", "$$"},
                                   {"Sk", "^^``"},
                                   {"So", ""},
                                   {"C", "\x01\x1f\x7f\x7f"},
                                   {"Cc", "\x01\x1f\x7f\x7f"},
                                   {"Cf", ""},
                                   {"Co", ""},
                                   {"Cn", ""},
                                   {"IsBasicLatin", "\x01\x7f"}};
    for (const Entry& entry : kTable) {
        if (name == entry.name) {
            for (const char* m = entry.members; m[0] != '\0' && m[1] != '\0'; m += 2) {
                out.emplace_back(static_cast<unsigned char>(m[0]),
                                 static_cast<unsigned char>(m[1]));
            }
            if (name == "C" || name == "Cc") {
                out.emplace_back(0, 0);
            }
            return true;
        }
    }
    // Other blocks hold no ASCII character.
    return name.size() > 2 && name.substr(0, 2) == "Is";
}

// A set of characters: ranges and nested sets joined, possibly negated, with
// a set taken away ([a-z-[aeiou]]).
struct CharSet {
    Ranges ranges;
    std::vector<CharSet> joined;
    std::vector<CharSet> minus;  // none or one
    bool negated = false;
    // Known exactly for ASCII only (a category, \w, \d, \i, \c).
    bool asciiOnly = false;

    bool contains(char32_t c) const {
        bool in = false;
        for (const auto& [first, last] : ranges) {
            in = in || (c >= first && c <= last);
        }
        for (const CharSet& set : joined) {
            in = in || set.contains(c);
        }
        in = in != negated;
        return in && (minus.empty() || !minus.front().contains(c));
    }
    bool approximate() const {
        bool any = asciiOnly;
        for (const CharSet& set : joined) {
            any = any || set.approximate();
        }
        return any || (!minus.empty() && minus.front().approximate());
    }
};

inline CharSet rangesOf(std::initializer_list<std::pair<char32_t, char32_t>> ranges,
                        bool negated = false, bool asciiOnly = true) {
    CharSet set;
    set.ranges = ranges;
    set.negated = negated;
    set.asciiOnly = asciiOnly;
    return set;
}

// A class known for ASCII only, from pairs of first and last characters.
inline CharSet pairsOf(std::u32string_view pairs, bool negated) {
    CharSet set;
    for (std::size_t i = 0; i + 1 < pairs.size(); i += 2) {
        set.ranges.emplace_back(pairs[i], pairs[i + 1]);
    }
    set.negated = negated;
    set.asciiOnly = true;
    return set;
}

// One state of the automaton: a character test, a split, or the end.
struct State {
    enum Kind { Test, Split, End } kind = End;
    int set = -1;  // for Test: into sets
    int next = -1;
    int other = -1;  // for Split
};

// Reads an expression into an automaton (Thompson's construction).
class Compiler {
  public:
    static constexpr std::size_t kMaxStates = 20000;

    explicit Compiler(std::u32string text) : text_(std::move(text)) {}

    void compile(std::vector<State>& states, std::vector<CharSet>& sets, int& start) {
        states_ = &states;
        sets_ = &sets;
        Fragment whole = alternatives();
        if (at_ < text_.size()) {
            fail("an unmatched ')'");
        }
        const int end = add({State::End});
        patch(whole, end);
        start = whole.start;
    }

  private:
    // A piece of automaton: its first state and the unset exits to patch.
    struct Fragment {
        int start = -1;
        std::vector<std::pair<int, bool>> exits;  // state, its other exit
    };

    [[noreturn]] void fail(const std::string& what) const {
        throw PatternError("the pattern is not valid: " + what + " at character " +
                           std::to_string(at_ + 1));
    }
    bool more() const { return at_ < text_.size(); }
    char32_t peek() const { return text_[at_]; }

    int add(State state) {
        if (states_->size() >= kMaxStates) {
            throw PatternError("the pattern is too large to check");
        }
        states_->push_back(state);
        return static_cast<int>(states_->size()) - 1;
    }
    void patch(const Fragment& fragment, int to) {
        for (const auto& [state, other] : fragment.exits) {
            ((*states_)[static_cast<std::size_t>(state)].*(other ? &State::other : &State::next)) =
                to;
        }
    }
    Fragment empty() {
        const int split = add({State::Split});
        return {split, {{split, false}, {split, true}}};
    }
    Fragment sequence(Fragment first, Fragment second) {
        patch(first, second.start);
        return {first.start, std::move(second.exits)};
    }
    Fragment either(Fragment first, Fragment second) {
        const int split = add({State::Split, -1, first.start, second.start});
        first.exits.insert(first.exits.end(), second.exits.begin(), second.exits.end());
        return {split, std::move(first.exits)};
    }
    Fragment optional(Fragment body) {
        const int split = add({State::Split, -1, body.start, -1});
        body.exits.push_back({split, true});
        return {split, std::move(body.exits)};
    }
    Fragment star(Fragment body) {
        const int split = add({State::Split, -1, body.start, -1});
        patch(body, split);
        return {split, {{split, true}}};
    }

    Fragment alternatives() {
        Fragment result = branch();
        while (more() && peek() == U'|') {
            ++at_;
            result = either(std::move(result), branch());
        }
        return result;
    }
    Fragment branch() {
        Fragment result = empty();
        while (more() && peek() != U'|' && peek() != U')') {
            result = sequence(std::move(result), piece());
        }
        return result;
    }
    Fragment piece() {
        const std::size_t atomStart = at_;
        Fragment first = atom();
        if (!more()) {
            return first;
        }
        const char32_t q = peek();
        if (q == U'?' || q == U'*' || q == U'+') {
            ++at_;
            if (q == U'?') {
                return optional(std::move(first));
            }
            if (q == U'*') {
                return star(std::move(first));
            }
            return sequence(std::move(first), star(again(atomStart)));
        }
        if (q != U'{') {
            return first;
        }
        ++at_;
        const std::size_t least = number();
        std::size_t most = least;
        bool unbounded = false;
        if (more() && peek() == U',') {
            ++at_;
            unbounded = !more() || peek() == U'}';
            most = unbounded ? least : number();
        }
        if (!more() || peek() != U'}' || most < least) {
            fail("a malformed quantifier");
        }
        const std::size_t after = ++at_;
        return repeat(std::move(first), atomStart, after, least, most, unbounded);
    }
    // The atom at `from` compiled once more, for a quantifier's copies.
    Fragment again(std::size_t from) {
        const std::size_t resume = at_;
        at_ = from;
        Fragment copy = atom();
        at_ = resume;
        return copy;
    }
    Fragment repeat(Fragment first, std::size_t atomStart, std::size_t after, std::size_t least,
                    std::size_t most, bool unbounded) {
        if (most > kMaxStates) {
            throw PatternError("the pattern is too large to check");
        }
        at_ = after;
        Fragment result = least == 0 ? empty() : std::move(first);
        const bool firstUsed = least > 0;
        for (std::size_t i = 1; i < least; ++i) {
            result = sequence(std::move(result), again(atomStart));
        }
        if (unbounded) {
            return sequence(std::move(result),
                            star(firstUsed ? again(atomStart) : std::move(first)));
        }
        for (std::size_t i = least; i < most; ++i) {
            Fragment copy = i == 0 && !firstUsed ? std::move(first) : again(atomStart);
            result = sequence(std::move(result), optional(std::move(copy)));
        }
        return result;
    }
    std::size_t number() {
        std::size_t value = 0;
        const std::size_t from = at_;
        while (more() && peek() >= U'0' && peek() <= U'9') {
            value = value * 10 + (peek() - U'0');
            if (value > kMaxStates) {
                throw PatternError("the pattern is too large to check");
            }
            ++at_;
        }
        if (at_ == from) {
            fail("a quantifier without a number");
        }
        return value;
    }

    Fragment atom() {
        const char32_t c = peek();
        if (c == U'(') {
            ++at_;
            Fragment inner = alternatives();
            if (!more() || peek() != U')') {
                fail("an unclosed '('");
            }
            ++at_;
            return inner;
        }
        if (c == U'?' || c == U'*' || c == U'+' || c == U'{' || c == U'}' || c == U']') {
            fail("a misplaced '" + std::string(1, static_cast<char>(c)) + "'");
        }
        CharSet set;
        if (c == U'[') {
            ++at_;
            set = charClass();
        } else if (c == U'\\') {
            ++at_;
            set = escape();
        } else if (c == U'.') {
            ++at_;
            set = rangesOf({{U'\n', U'\n'}, {U'\r', U'\r'}}, true, false);
        } else {
            ++at_;
            set = rangesOf({{c, c}}, false, false);
        }
        sets_->push_back(std::move(set));
        const int test = add({State::Test, static_cast<int>(sets_->size()) - 1});
        return {test, {{test, false}}};
    }

    // After a backslash: a character or a class of characters.
    CharSet escape() {
        if (!more()) {
            fail("a pattern ending in '\\'");
        }
        const char32_t c = text_[at_++];
        switch (c) {
            case U'n':
                return rangesOf({{U'\n', U'\n'}}, false, false);
            case U'r':
                return rangesOf({{U'\r', U'\r'}}, false, false);
            case U't':
                return rangesOf({{U'\t', U'\t'}}, false, false);
            case U's':
            case U'S':
                return rangesOf({{U' ', U' '}, {U'\t', U'\t'}, {U'\n', U'\n'}, {U'\r', U'\r'}},
                                c == U'S', false);
            case U'd':
            case U'D':
                return rangesOf({{U'0', U'9'}}, c == U'D');
            case U'w':
            case U'W':
                // Everything but punctuation, separators and other characters.
                return pairsOf(U"09AZaz$$++<>^^``||~~", c == U'W');
            case U'i':
            case U'I':
                return rangesOf({{U'A', U'Z'}, {U'a', U'z'}, {U'_', U'_'}, {U':', U':'}},
                                c == U'I');
            case U'c':
            case U'C':
                return pairsOf(U"AZaz09__::..--", c == U'C');
            case U'p':
            case U'P':
                return category(c == U'P');
            default:
                break;
        }
        static const std::u32string kSingle = U"\\|.-^?*+{}()[]";
        if (kSingle.find(c) == std::u32string::npos) {
            fail("an unknown escape");
        }
        return rangesOf({{c, c}}, false, false);
    }
    CharSet category(bool negated) {
        if (!more() || peek() != U'{') {
            fail("a category without '{'");
        }
        std::string name;
        for (++at_; more() && peek() != U'}'; ++at_) {
            name += static_cast<char>(peek() < 0x80 ? peek() : U'?');
        }
        if (!more()) {
            fail("an unclosed category");
        }
        ++at_;
        CharSet set;
        if (!asciiCategory(name, set.ranges)) {
            fail("the unknown category " + name);
        }
        set.negated = negated;
        set.asciiOnly = true;
        return set;
    }

    // After '[': the class up to its ']'.
    CharSet charClass() {
        CharSet set;
        if (more() && peek() == U'^') {
            set.negated = true;
            ++at_;
        }
        bool first = true;
        while (true) {
            if (!more()) {
                fail("an unclosed '['");
            }
            const char32_t c = peek();
            if (c == U']' && !first) {
                ++at_;
                return set;
            }
            if (c == U'-' && at_ + 1 < text_.size() && text_[at_ + 1] == U'[' && !first) {
                at_ += 2;
                set.minus.push_back(charClass());
                if (!more() || peek() != U']') {
                    fail("a subtraction not at the end of its class");
                }
                ++at_;
                return set;
            }
            first = false;
            classItem(set);
        }
    }
    void classItem(CharSet& set) {
        char32_t low = text_[at_++];
        if (low == U'\\') {
            CharSet escaped = escape();
            if (escaped.negated || escaped.asciiOnly || escaped.ranges.size() != 1 ||
                escaped.ranges[0].first != escaped.ranges[0].second) {
                set.joined.push_back(std::move(escaped));
                return;
            }
            low = escaped.ranges[0].first;
        } else if (low == U'[') {
            fail("a '[' inside a class");
        }
        if (more() && peek() == U'-' && at_ + 1 < text_.size() && text_[at_ + 1] != U']' &&
            text_[at_ + 1] != U'[') {
            ++at_;
            char32_t high = text_[at_++];
            if (high == U'\\') {
                CharSet escaped = escape();
                if (escaped.ranges.size() != 1 || escaped.negated || escaped.asciiOnly) {
                    fail("a range ending in a class");
                }
                high = escaped.ranges[0].first;
            }
            if (high < low) {
                fail("a range whose end comes before its start");
            }
            set.ranges.emplace_back(low, high);
            return;
        }
        set.ranges.emplace_back(low, low);
    }

    std::u32string text_;
    std::size_t at_ = 0;
    std::vector<State>* states_ = nullptr;
    std::vector<CharSet>* sets_ = nullptr;
};

}  // namespace pattern_detail

// A compiled pattern facet.
class Pattern {
  public:
    // Throws PatternError when `expression` (UTF-8) is not valid.
    explicit Pattern(std::string_view expression) : expression_(expression) {
        pattern_detail::Compiler(pattern_detail::codePoints(expression))
            .compile(states_, sets_, start_);
        for (const pattern_detail::CharSet& set : sets_) {
            approximate_ = approximate_ || set.approximate();
        }
    }

    const std::string& expression() const { return expression_; }
    // True when the pattern uses classes known exactly for ASCII only.
    bool approximate() const { return approximate_; }

    enum class Result { Matches, Differs, NotChecked };

    // Whether all of `text` (UTF-8) matches. NotChecked: the text holds
    // characters beyond ASCII that the pattern's classes cannot tell.
    Result match(std::string_view text) const {
        const std::u32string chars = pattern_detail::codePoints(text);
        if (approximate_) {
            for (char32_t c : chars) {
                if (c >= 0x80) {
                    return Result::NotChecked;
                }
            }
        }
        std::vector<int> current;
        std::vector<int> next;
        std::vector<std::size_t> seen(states_.size(), 0);
        std::size_t step = 1;
        add(current, start_, seen, step);
        for (char32_t c : chars) {
            ++step;
            next.clear();
            for (int index : current) {
                const pattern_detail::State& state = states_[static_cast<std::size_t>(index)];
                if (state.kind == pattern_detail::State::Test &&
                    sets_[static_cast<std::size_t>(state.set)].contains(c)) {
                    add(next, state.next, seen, step);
                }
            }
            current.swap(next);
            if (current.empty()) {
                return Result::Differs;
            }
        }
        for (int index : current) {
            if (states_[static_cast<std::size_t>(index)].kind == pattern_detail::State::End) {
                return Result::Matches;
            }
        }
        return Result::Differs;
    }

    // A short text the pattern matches (fewest steps of the automaton), in
    // ASCII where it can be; false when none is found.
    bool example(std::string& out) const {
        // Breadth first over the states: the way each state was reached.
        std::vector<std::pair<int, char32_t>> from(states_.size(), {-2, 0});
        std::vector<int> queue{start_};
        from[static_cast<std::size_t>(start_)] = {-1, 0};
        for (std::size_t at = 0; at < queue.size(); ++at) {
            const int index = queue[at];
            const pattern_detail::State& state = states_[static_cast<std::size_t>(index)];
            if (state.kind == pattern_detail::State::End) {
                std::u32string text;
                for (int i = index; from[static_cast<std::size_t>(i)].first >= 0;
                     i = from[static_cast<std::size_t>(i)].first) {
                    if (from[static_cast<std::size_t>(i)].second != 0) {
                        text.insert(text.begin(), from[static_cast<std::size_t>(i)].second);
                    }
                }
                out = utf8(text);
                return true;
            }
            const auto reach = [&](int next, char32_t c) {
                if (next >= 0 && from[static_cast<std::size_t>(next)].first == -2) {
                    from[static_cast<std::size_t>(next)] = {index, c};
                    queue.push_back(next);
                }
            };
            if (state.kind == pattern_detail::State::Split) {
                reach(state.next, 0);
                reach(state.other, 0);
            } else if (char32_t c = member(sets_[static_cast<std::size_t>(state.set)]); c != 0) {
                reach(state.next, c);
            }
        }
        return false;
    }

  private:
    // A character of the set: a letter or digit where it holds one.
    static char32_t member(const pattern_detail::CharSet& set) {
        for (char32_t c : std::u32string_view(U"a0A-_ .:x")) {
            if (set.contains(c)) {
                return c;
            }
        }
        for (char32_t c = 0x21; c < 0x7F; ++c) {
            if (set.contains(c)) {
                return c;
            }
        }
        for (const auto& [first, last] : set.ranges) {
            if (set.contains(first)) {
                return first;
            }
        }
        return 0;
    }
    static std::string utf8(const std::u32string& text) {
        std::string out;
        for (char32_t c : text) {
            if (c < 0x80) {
                out += static_cast<char>(c);
            } else if (c < 0x800) {
                out += static_cast<char>(0xC0 | (c >> 6));
                out += static_cast<char>(0x80 | (c & 0x3F));
            } else if (c < 0x10000) {
                out += static_cast<char>(0xE0 | (c >> 12));
                out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                out += static_cast<char>(0x80 | (c & 0x3F));
            } else {
                out += static_cast<char>(0xF0 | (c >> 18));
                out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
                out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                out += static_cast<char>(0x80 | (c & 0x3F));
            }
        }
        return out;
    }

    // Adds a state and, through splits, the states it leads to without a
    // character (iteratively: a deep chain of splits uses no stack).
    void add(std::vector<int>& list, int first, std::vector<std::size_t>& seen,
             std::size_t step) const {
        std::vector<int> pending{first};
        while (!pending.empty()) {
            const int index = pending.back();
            pending.pop_back();
            if (index < 0 || seen[static_cast<std::size_t>(index)] == step) {
                continue;
            }
            seen[static_cast<std::size_t>(index)] = step;
            const pattern_detail::State& state = states_[static_cast<std::size_t>(index)];
            if (state.kind == pattern_detail::State::Split) {
                pending.push_back(state.other);
                pending.push_back(state.next);
            } else {
                list.push_back(index);
            }
        }
    }

    std::string expression_;
    std::vector<pattern_detail::State> states_;
    std::vector<pattern_detail::CharSet> sets_;
    int start_ = -1;
    bool approximate_ = false;
};

}  // namespace orvo
