#pragma once
// A key/value properties file. Values are returned exactly as written: no
// escape processing and no line continuation, so a value saved with doubled
// backslashes reads back doubled. Lines beginning with "#" or "!" (after
// blanks) are comments; key and value are separated by the first "=" or ":";
// blanks around the key and before the value are trimmed. A line with no
// separator is a key with an empty value. A later line for the same key
// replaces the earlier one.
#include <map>
#include <string_view>

#include "platform/base/KxCString.h"

class KxProperties {
  public:
    // Adds the keys of the file at path. A file that is missing or cannot be
    // read adds no keys; the result tells which.
    bool load(const KxCString& path);
    // Adds the keys of properties text.
    void loadFromText(std::string_view text);

    // The value for key; the empty text when the key is missing.
    KxCString get(const KxCString& key) const;
    bool contains(const KxCString& key) const { return values_.count(key) != 0; }
    void set(const KxCString& key, KxCString value) { values_[key] = std::move(value); }

    const std::map<KxCString, KxCString>& entries() const { return values_; }
    bool empty() const { return values_.empty(); }

  private:
    std::map<KxCString, KxCString> values_;
};
