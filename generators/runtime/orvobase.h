// orvobase.h: what every part of orvoruntime.h shares: the errors a
// document or a value raises (XmlError), SOAP faults, the XML Schema instance
// namespace, and the small text helpers of messages.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace orvo {

// The XML Schema instance namespace, which xsi:nil is in.
inline constexpr const char* kXsiNamespace = "http://www.w3.org/2001/XMLSchema-instance";

namespace detail {

inline std::string located(const std::string& message, long line, long column) {
    if (line <= 0) {
        return message;
    }
    std::string out = "line " + std::to_string(line);
    if (column > 0) {
        out += ", column " + std::to_string(column);
    }
    return out + ": " + message;
}

}  // namespace detail

// Malformed XML, or a document whose content does not fit the classes.
class XmlError : public std::runtime_error {
  public:
    explicit XmlError(const std::string& message, long line = 0, long column = 0)
        : std::runtime_error(detail::located(message, line, column)),
          message_(message),
          line_(line),
          column_(column) {}
    // The message without the location.
    const std::string& message() const { return message_; }
    // 1-based; 0 when unknown.
    long line() const { return line_; }
    long column() const { return column_; }

  private:
    std::string message_;
    long line_;
    long column_;
};

class Writer;

// A SOAP fault: its code ("Client" for a bad request, "Server" for a failure
// of the service) and text. A fault the WSDL declares is a class derived
// from it that writes its detail element.
class Fault : public std::runtime_error {
  public:
    Fault(std::string code, const std::string& text)
        : std::runtime_error(text), code_(std::move(code)) {}
    const std::string& code() const { return code_; }

    // Whether the fault carries a detail, and writes it (the content of the
    // fault's detail element).
    virtual bool hasDetail() const { return false; }
    virtual void writeDetail(Writer& out) const { (void)out; }

  private:
    std::string code_;
};

namespace detail {

inline bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The text without leading and trailing XML white space.
inline std::string_view trim(std::string_view text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && isSpace(text[first])) {
        ++first;
    }
    while (last > first && isSpace(text[last - 1])) {
        --last;
    }
    return text.substr(first, last - first);
}

// The text in quotes for a message: at most 40 characters, "..." when cut.
inline std::string quote(std::string_view text) {
    if (text.size() <= 40) {
        return "'" + std::string(text) + "'";
    }
    std::size_t cut = 40;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        --cut;  // not inside a UTF-8 sequence
    }
    return "'" + std::string(text.substr(0, cut)) + "...'";
}

}  // namespace detail
}  // namespace orvo
