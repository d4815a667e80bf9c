#include "orvowizard/common/KxFieldChecks.h"

#include <algorithm>

#include "orvowizard/common/KxSessionAccessors.h"

namespace {

bool isControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
}

bool isSplitting(char c) {
    return kCommandSplitters.find(c) != std::string_view::npos;
}

bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

KxCString checkSplitting(const KxCString& name, const KxCString& value) {
    KxCString message = checkSettingText(name, value);
    if (message.empty() && std::any_of(value.begin(), value.end(), isSplitting)) {
        message = "The setting " + name + " must not contain any of & * , ; < > |";
    }
    return message;
}

}  // namespace

KxCString checkSettingText(const KxCString& name, const KxCString& value) {
    if (value.size() > kMaxSettingLength) {
        return "The setting " + name + " is longer than " + std::to_string(kMaxSettingLength) +
               " characters";
    }
    if (std::any_of(value.begin(), value.end(), isControl)) {
        return "The setting " + name + " must not contain line breaks or other control characters";
    }
    return "";
}

KxCString checkCommandWord(const KxCString& name, const KxCString& value) {
    KxCString message = checkSplitting(name, value);
    if (message.empty() && value.find('"') != KxCString::npos) {
        message = "The setting " + name + " must not contain a double quote";
    }
    return message;
}

KxCString checkOptionsText(const KxCString& name, const KxCString& value) {
    KxCString message = checkSplitting(name, value);
    if (message.empty() && std::count(value.begin(), value.end(), '"') % 2 != 0) {
        message = "The setting " + name + " leaves a double quote open";
    }
    return message;
}

KxCString checkPlainFileName(const KxCString& name, const KxCString& value) {
    KxCString message = checkCommandWord(name, value);
    if (message.empty() &&
        (value.find_first_of("/\\") != KxCString::npos || value == "." || value == "..")) {
        message = "The setting " + name + " must be a plain file name, without / or \\";
    }
    return message;
}

KxCString checkIdentifier(const KxCString& name, const KxCString& value) {
    const bool valid =
        !value.empty() && value.size() <= 255 && (isAsciiLetter(value[0]) || value[0] == '_') &&
        std::all_of(value.begin(), value.end(),
                    [](char c) { return isAsciiLetter(c) || (c >= '0' && c <= '9') || c == '_'; });
    if (valid) {
        return "";
    }
    return "The setting " + name +
           " must be a C++ name: a letter or _ followed by letters, digits and _";
}
