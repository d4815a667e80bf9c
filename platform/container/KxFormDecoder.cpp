#include "platform/container/KxFormDecoder.h"

#include "platform/base/KxText.h"

#include <algorithm>
#include <cctype>

namespace kx::container {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace

std::string percentDecode(std::string_view text, bool plusIsSpace) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%' && i + 2 < text.size()) {
            const int high = hexValue(text[i + 1]);
            const int low = hexValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                decoded.push_back(static_cast<char>(high * 16 + low));
                i += 2;
                continue;
            }
        }
        decoded.push_back(plusIsSpace && c == '+' ? ' ' : c);
    }
    return decoded;
}

KxParameterList decodeFormText(std::string_view text) {
    KxParameterList parameters;
    while (!text.empty()) {
        const auto end = text.find('&');
        const std::string_view piece = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (piece.empty()) {
            continue;
        }
        const auto equals = piece.find('=');
        const std::string_view name = piece.substr(0, equals);
        if (name.empty()) {
            continue;
        }
        const std::string_view value =
            equals == std::string_view::npos ? std::string_view() : piece.substr(equals + 1);
        parameters.emplace_back(percentDecode(name, true), percentDecode(value, true));
    }
    return parameters;
}

std::optional<std::string> findCookie(std::string_view cookieHeader, std::string_view name) {
    while (!cookieHeader.empty()) {
        const auto end = cookieHeader.find(';');
        const std::string_view pair = trimBlanks(cookieHeader.substr(0, end));
        cookieHeader =
            end == std::string_view::npos ? std::string_view() : cookieHeader.substr(end + 1);
        const auto equals = pair.find('=');
        if (equals == std::string_view::npos || trimBlanks(pair.substr(0, equals)) != name) {
            continue;
        }
        std::string_view value = trimBlanks(pair.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        return std::string(value);
    }
    return std::nullopt;
}

bool isFormContentType(std::string_view contentType) {
    const std::string_view type = trimBlanks(contentType.substr(0, contentType.find(';')));
    return equalsIgnoringCase(type, "application/x-www-form-urlencoded");
}

}  // namespace kx::container
