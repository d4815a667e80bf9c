#include "platform/servlet/KxProperties.h"

#include "platform/os/KxOs.h"

namespace {

constexpr std::string_view kBlanks = " \t\f";

std::string_view trimFront(std::string_view text) {
    auto start = text.find_first_not_of(kBlanks);
    return start == std::string_view::npos ? std::string_view() : text.substr(start);
}

std::string_view trimBack(std::string_view text) {
    auto end = text.find_last_not_of(kBlanks);
    return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}

}  // namespace

bool KxProperties::load(const KxCString& path) {
    KxCString text;
    if (!kx::os::readWholeFile(path, text)) {
        return false;
    }
    loadFromText(text);
    return true;
}

void KxProperties::loadFromText(std::string_view text) {
    while (!text.empty()) {
        auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }

        line = trimFront(line);
        if (line.empty() || line.front() == '#' || line.front() == '!') {
            continue;
        }
        auto separator = line.find_first_of("=:");
        std::string_view key = trimBack(line.substr(0, separator));
        std::string_view value;
        if (separator != std::string_view::npos) {
            value = trimFront(line.substr(separator + 1));
        }
        values_.insert_or_assign(KxCString(key), KxCString(value));
    }
}

KxCString KxProperties::get(const KxCString& key) const {
    auto it = values_.find(key);
    return it == values_.end() ? KxCString() : it->second;
}
