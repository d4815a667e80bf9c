// orvowriter.h: writing XML text (Writer), with the namespace declarations
// it needs and every value checked to be UTF-8 that XML can hold.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "orvobase.h"

namespace orvo {

namespace detail {

[[noreturn]] inline void refuseCharacter(unsigned long code) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string number;
    for (int shift = code > 0xFFFF ? 20 : 12; shift >= 0; shift -= 4) {
        number += kHex[(code >> shift) & 0xF];
    }
    throw XmlError("the value holds the character U+" + number + ", which XML cannot hold");
}

[[noreturn]] inline void refuseUtf8(std::size_t offset) {
    throw XmlError("the value holds invalid UTF-8 (at byte " + std::to_string(offset) + ")");
}

// The length of the UTF-8 sequence at p, which starts with a byte of 0x80 or
// more; throws for malformed sequences and for U+FFFE and U+FFFF.
inline std::size_t utf8Length(const unsigned char* p, const unsigned char* end,
                              std::size_t offset) {
    const unsigned char c = *p;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        low = c == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
        high = c == 0xED ? 0x9F : 0xBF;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        low = c == 0xF0 ? 0x90 : 0x80;
        high = c == 0xF4 ? 0x8F : 0xBF;  // nothing past U+10FFFF
    } else {
        refuseUtf8(offset);
    }
    if (static_cast<std::size_t>(end - p) < length || p[1] < low || p[1] > high) {
        refuseUtf8(offset);
    }
    for (std::size_t i = 2; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80) {
            refuseUtf8(offset);
        }
    }
    if (c == 0xEF && p[1] == 0xBF && (p[2] == 0xBE || p[2] == 0xBF)) {
        refuseCharacter(p[2] == 0xBE ? 0xFFFE : 0xFFFF);
    }
    return length;
}

// Appends the value escaped for text content, or for an attribute value in
// double quotes (where white space other than the space is kept as a
// character reference, so that reading does not normalize it away).
inline void appendEscapedUnchecked(std::string& out, const std::string& value, bool inAttribute) {
    const auto* begin = reinterpret_cast<const unsigned char*>(value.data());
    const auto* end = begin + value.size();
    const auto* run = begin;
    for (const auto* p = begin; p < end;) {
        const unsigned char c = *p;
        if (c >= 0x80) {
            p += utf8Length(p, end, static_cast<std::size_t>(p - begin));
            continue;
        }
        const char* replacement = nullptr;
        switch (c) {
            case '&':
                replacement = "&amp;";
                break;
            case '<':
                replacement = "&lt;";
                break;
            case '>':
                replacement = "&gt;";
                break;
            case '"':
                replacement = inAttribute ? "&quot;" : nullptr;
                break;
            case '\t':
                replacement = inAttribute ? "&#9;" : nullptr;
                break;
            case '\n':
                replacement = inAttribute ? "&#10;" : nullptr;
                break;
            case '\r':
                replacement = "&#13;";
                break;
            default:
                if (c < 0x20) {
                    refuseCharacter(c);
                }
                break;
        }
        if (replacement != nullptr) {
            out.append(reinterpret_cast<const char*>(run), static_cast<std::size_t>(p - run));
            out += replacement;
            run = p + 1;
        }
        ++p;
    }
    out.append(reinterpret_cast<const char*>(run), static_cast<std::size_t>(end - run));
}

// As appendEscapedUnchecked; a refused value leaves out as it was.
inline void appendEscaped(std::string& out, const std::string& value, bool inAttribute) {
    const std::size_t mark = out.size();
    try {
        appendEscapedUnchecked(out, value, inAttribute);
    } catch (...) {
        out.resize(mark);
        throw;
    }
}

}  // namespace detail

// Writes XML text: elements, attributes and text, declaring namespaces where
// they are first needed. No XML declaration is written.
class Writer {
  public:
    Writer() {
        out_.reserve(4096);
        bindings_.emplace_back("xml", "http://www.w3.org/XML/1998/namespace");  // always bound
        preferred_.emplace_back("xsi", kXsiNamespace);
    }

    // Asks that namespace ns be written with this prefix when it must be
    // declared. An empty prefix is ignored (the default namespace is never
    // declared), and so is "xmlns", which cannot be bound.
    void prefer(const std::string& prefix, const std::string& ns) {
        if (prefix.empty() || prefix == "xmlns") {
            return;
        }
        for (auto& entry : preferred_) {
            if (entry.second == ns) {
                entry.first = prefix;
                return;
            }
        }
        preferred_.emplace_back(prefix, ns);
    }

    // Starts element {ns}local (ns "" for no namespace), declaring ns on it
    // when no prefix in scope is bound to it.
    void start(std::string_view ns, std::string_view local) {
        closeStartTag();
        if (!frames_.empty()) {
            nextPiece(frames_.back());
        }
        frames_.push_back(Frame{bindings_.size(), names_.size()});
        out_ += '<';
        const std::size_t nameStart = out_.size();
        bool declared = false;
        std::size_t binding = 0;
        if (!ns.empty()) {
            binding = bind(ns, declared);
            out_ += bindings_[binding].first;
            out_ += ':';
        }
        out_ += local;
        names_.append(out_, nameStart, std::string::npos);
        open_ = true;
        if (declared) {
            declare(binding);
        }
    }

    // An attribute of the element just started, before its text or children.
    // A qualified attribute's namespace is declared on the element if needed.
    void attribute(std::string_view ns, std::string_view local, const std::string& value) {
        requireStartTag("attribute");
        const std::size_t mark = out_.size();
        const std::size_t bindings = bindings_.size();
        if (ns.empty()) {
            out_ += ' ';
        } else {
            const std::size_t binding = declared(ns);
            out_ += ' ';
            out_ += bindings_[binding].first;
            out_ += ':';
        }
        out_ += local;
        out_ += "=\"";
        try {
            detail::appendEscaped(out_, value, true);
        } catch (...) {
            // A refused value leaves neither the attribute nor its declaration.
            out_.resize(mark);
            bindings_.erase(bindings_.begin() + static_cast<std::ptrdiff_t>(bindings),
                            bindings_.end());
            throw;
        }
        out_ += '"';
    }

    // Text pieces of mixed content for the element just started: piece i is
    // written before its i-th child element and the pieces left at its
    // end. The pieces must stay as they are until the element is ended.
    void mixedText(const std::vector<std::string>& pieces) {
        requireStartTag("mixed text");
        frames_.back().pieces = &pieces;
        frames_.back().piece = 0;
    }

    // xsi:nil="true" on the element just started.
    void nil() { attribute(kXsiNamespace, "nil", "true"); }

    // The prefix bound to ns in scope (declared on the element just started
    // when there is none), for writing xsd:QName values; "" for ns "".
    std::string prefix(const std::string& ns) {
        return ns.empty() ? std::string() : bindings_[declared(ns)].first;
    }

    void text(const std::string& value) {
        if (frames_.empty()) {
            throw std::logic_error("orvo::Writer: text outside any element");
        }
        closeStartTag();
        detail::appendEscaped(out_, value, false);
    }

    // Ends the innermost open element (<a/> when it has no content).
    void end() {
        if (frames_.empty()) {
            throw std::logic_error("orvo::Writer: end() without an open element");
        }
        Frame& last = frames_.back();
        while (last.pieces != nullptr && last.piece < last.pieces->size()) {
            nextPiece(last);
        }
        const Frame frame = last;
        frames_.pop_back();
        if (open_) {
            out_ += "/>";
            open_ = false;
        } else {
            out_ += "</";
            out_.append(names_, frame.nameStart, std::string::npos);
            out_ += '>';
        }
        names_.resize(frame.nameStart);
        bindings_.erase(bindings_.begin() + static_cast<std::ptrdiff_t>(frame.bindings),
                        bindings_.end());
    }

    // Makes room for a document of about that many bytes, so that a large
    // one is not copied as it grows.
    void reserve(std::size_t bytes) { out_.reserve(bytes); }

    // The text written so far; every element must have been ended.
    const std::string& str() const {
        if (!frames_.empty()) {
            throw std::logic_error("orvo::Writer: the element " +
                                   names_.substr(frames_.back().nameStart) + " is not ended");
        }
        return out_;
    }

  private:
    struct Frame {
        std::size_t bindings;   // size of bindings_ when the element started
        std::size_t nameStart;  // where its name starts in names_
        const std::vector<std::string>* pieces = nullptr;  // of mixed content
        std::size_t piece = 0;                             // the next one to write
    };

    // Writes the next text piece of a frame's mixed content, if any.
    void nextPiece(Frame& frame) {
        if (frame.pieces == nullptr || frame.piece >= frame.pieces->size()) {
            return;
        }
        const std::string& piece = (*frame.pieces)[frame.piece++];
        if (!piece.empty()) {
            closeStartTag();
            detail::appendEscaped(out_, piece, false);
        }
    }
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    void closeStartTag() {
        if (open_) {
            out_ += '>';
            open_ = false;
        }
    }

    void requireStartTag(const char* what) const {
        if (!open_) {
            throw std::logic_error(std::string("orvo::Writer: ") + what +
                                   " after the element's content or outside any element");
        }
    }

    // The binding of ns in scope. A prefix is never bound again while it is
    // in scope, so the innermost binding of ns is the one that holds.
    std::size_t find(std::string_view ns) const {
        for (std::size_t i = bindings_.size(); i-- > 0;) {
            if (bindings_[i].second == ns) {
                return i;
            }
        }
        return kNone;
    }

    bool inUse(const std::string& prefix) const {
        for (const auto& binding : bindings_) {
            if (binding.first == prefix) {
                return true;
            }
        }
        return false;
    }

    // The binding of ns, made (and declared set) when there is none.
    std::size_t bind(std::string_view ns, bool& declared) {
        const std::size_t found = find(ns);
        if (found != kNone) {
            return found;
        }
        std::string chosen;
        for (const auto& entry : preferred_) {
            if (entry.second == ns && !inUse(entry.first)) {
                chosen = entry.first;
            }
        }
        for (unsigned number = 1; chosen.empty(); ++number) {
            std::string candidate = "ns" + std::to_string(number);
            if (!inUse(candidate)) {
                chosen = std::move(candidate);
            }
        }
        bindings_.emplace_back(std::move(chosen), std::string(ns));
        declared = true;
        return bindings_.size() - 1;
    }

    // The binding of ns, declared on the element just started when needed.
    std::size_t declared(std::string_view ns) {
        const std::size_t binding = find(ns);
        if (binding != kNone) {
            return binding;
        }
        requireStartTag("namespace declaration");
        bool added = false;
        const std::size_t made = bind(ns, added);
        declare(made);
        return made;
    }

    void declare(std::size_t binding) {
        out_ += " xmlns:";
        out_ += bindings_[binding].first;
        out_ += "=\"";
        detail::appendEscaped(out_, bindings_[binding].second, true);
        out_ += '"';
    }

    std::string out_;
    std::string names_;  // the qualified names of the open elements, one after another
    std::vector<Frame> frames_;
    std::vector<std::pair<std::string, std::string>> bindings_;   // (prefix, namespace)
    std::vector<std::pair<std::string, std::string>> preferred_;  // (prefix, namespace)
    bool open_ = false;  // a start tag is waiting for its '>'
};

// A namespace's preferred prefix in the documents written.
struct PreferredPrefix {
    const char* prefix;
    const char* ns;
};

// The document that write(out, object) writes, with the prefixes preferred.
// The data classes' toXml() call it, so that each compiles a call rather
// than a writer of its own.
inline std::string writeDocument(const PreferredPrefix* prefixes, std::size_t count,
                                 const void* object, void (*write)(Writer&, const void*)) {
    Writer out;
    for (std::size_t i = 0; i < count; ++i) {
        out.prefer(prefixes[i].prefix, prefixes[i].ns);
    }
    write(out, object);
    return out.str();
}

}  // namespace orvo
