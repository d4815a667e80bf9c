#include "orvowizard/tryit/KxSoapFormValues.h"

#include <algorithm>
#include <charconv>
#include <set>
#include <string_view>

#include "platform/servlet/KxServletRequest.h"

namespace {

bool isFormKey(const std::string& name) {
    return name.size() > 2 && name[1] == ':' &&
           std::string_view("vnucx").find(name[0]) != std::string_view::npos;
}

const std::string* valueOf(const KxFormValues& values, const std::string& key) {
    const auto found = values.find(key);
    return found == values.end() ? nullptr : &found->second;
}

// The repeated item a button's path names, found by walking the indexes.
const KxSoapItem* repeatedItemAt(const KxSoapOperation& operation, const std::string& path) {
    const std::vector<KxSoapItem>* list = &operation.input;
    const KxSoapItem* item = nullptr;
    std::size_t from = 0;
    while (from <= path.size()) {
        const auto dot = path.find('.', from);
        const std::string segment = path.substr(from, dot == std::string::npos ? dot : dot - from);
        const std::size_t index = occursOf(segment.substr(0, segment.find('#')), list->size());
        if (index >= list->size()) {
            return nullptr;
        }
        item = &(*list)[index];
        list = &item->children;
        if (dot == std::string::npos) {
            break;
        }
        from = dot + 1;
    }
    return item != nullptr && item->repeated() ? item : nullptr;
}

}  // namespace

KxFormValues formValuesOf(const KxHttpServletRequest& request) {
    KxFormValues values;
    for (auto names = request.getParameterNames(); names.hasMoreElements();) {
        const KxCString name = names.nextElement();
        if (isFormKey(name) && !values.contains(name)) {
            values.emplace(name, request.getParameter(name));
        }
    }
    return values;
}

std::string encodeFormValues(const KxFormValues& values) {
    std::string text;
    for (const auto& [key, value] : values) {
        text += std::to_string(key.size()) + ":" + key + std::to_string(value.size()) + ":" + value;
    }
    return text;
}

KxFormValues decodeFormValues(const std::string& text) {
    KxFormValues values;
    std::size_t at = 0;
    const auto piece = [&](std::string& out) {
        const auto colon = text.find(':', at);
        if (colon == std::string::npos || colon == at || colon - at > 9) {
            return false;
        }
        std::size_t length = 0;
        const auto [end, error] = std::from_chars(text.data() + at, text.data() + colon, length);
        if (error != std::errc() || end != text.data() + colon ||
            length > text.size() - colon - 1) {
            return false;
        }
        out = text.substr(colon + 1, length);
        at = colon + 1 + length;
        return true;
    };
    while (at < text.size()) {
        std::string key;
        std::string value;
        if (!piece(key) || !piece(value)) {
            break;
        }
        values[key] = value;
    }
    return values;
}

bool applyFormAction(const KxSoapOperation& operation, KxFormValues& values,
                     const std::string& action) {
    const bool add = action.starts_with("add:");
    if (!add && !action.starts_with("remove:")) {
        return false;
    }
    std::string path = action.substr(add ? 4 : 7);
    if (!add) {
        // The button names the occurrence it removes: the last one.
        path = path.substr(0, path.rfind('#'));
    }
    const KxSoapItem* item = repeatedItemAt(operation, path);
    if (item == nullptr) {
        return false;
    }
    const std::size_t count = kx::tryit::occurrences(*item, values, path);
    if (add && count < std::min(item->max, kx::tryit::kMaxOccurrences)) {
        values["n:" + path] = std::to_string(count + 1);
    } else if (!add && count > item->min) {
        values["n:" + path] = std::to_string(count - 1);
    }
    return true;
}

namespace kx::tryit {

std::string childPath(const std::string& parent, std::size_t index) {
    return parent.empty() ? std::to_string(index) : parent + "." + std::to_string(index);
}

std::string occurrencePath(const std::string& base, std::size_t occurrence) {
    return base + "#" + std::to_string(occurrence);
}

// The value a simple item has in the form: the one given, else its fixed or
// default value.
std::string simpleValue(const KxSoapItem& item, const KxFormValues& values,
                        const std::string& path) {
    if (!item.fixedValue.empty()) {
        return item.fixedValue;
    }
    if (const std::string* given = valueOf(values, "v:" + path)) {
        return *given;
    }
    if (!item.defaultValue.empty()) {
        return item.defaultValue;
    }
    // A required enumeration starts at its first value, as its list shows
    // no empty choice.
    if (!item.values.empty() && (item.min > 0 || item.repeated())) {
        return item.values.front();
    }
    // A required boolean starts as false, so that its checkbox means it.
    return item.type == "boolean" && item.min > 0 ? "false" : "";
}

std::size_t occurrences(const KxSoapItem& item, const KxFormValues& values,
                        const std::string& base) {
    std::size_t count = item.min;
    if (const std::string* given = valueOf(values, "n:" + base)) {
        count = occursOf(*given, item.min);
    }
    return std::clamp(count, item.min, std::min(item.max, kMaxOccurrences));
}

bool isOn(const KxFormValues& values, const std::string& key) {
    const std::string* given = valueOf(values, key);
    return given != nullptr && *given == "on";
}

// Whether an optional complex element is included.
bool included(const KxSoapItem& item, const KxFormValues& values, const std::string& path) {
    return item.min > 0 || item.repeated() || isOn(values, "u:" + path);
}

// The alternative a choice occurrence holds: its index, or nothing.
std::optional<std::size_t> chosen(const KxSoapItem& choice, const KxFormValues& values,
                                  const std::string& path) {
    const std::string* given = valueOf(values, "c:" + path);
    if (given == nullptr) {
        if (choice.min == 0 || choice.children.empty()) {
            return std::nullopt;
        }
        return 0;
    }
    for (std::size_t i = 0; i < choice.children.size(); ++i) {
        if (choice.children[i].name == *given) {
            return i;
        }
    }
    return std::nullopt;
}

// Types whose empty text is a value of its own.
bool emptyIsAValue(const std::string& type) {
    static const std::set<std::string> kTypes = {
        "string",       "normalizedString", "token",         "anyURI",
        "base64Binary", "hexBinary",        "anySimpleType", "",
        "NMTOKENS",     "IDREFS",           "ENTITIES"};
    return kTypes.contains(type);
}

}  // namespace kx::tryit
