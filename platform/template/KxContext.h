#pragma once
// A template context: names mapped to values. A name the context does not
// hold is looked up in its next context, when it has one, so a context can
// add to or override the values of another without copying them.
#include <functional>
#include <string_view>
#include <unordered_map>

#include "platform/template/KxContextObject.h"

class KxContext {
  public:
    KxContext() = default;
    KxContext(const KxContext&) = delete;
    KxContext& operator=(const KxContext&) = delete;

    void put(const KxCString& name, const KxCString& text);
    void put(const KxCString& name, const char* text);
    void put(const KxCString& name, const KxContextObject& value);
    void remove(const KxCString& name);

    // The value under name here or down the chain; the empty value when no
    // context holds it.
    KxContextObject get(std::string_view name) const;
    // The value held by this context alone.
    bool containsLocally(std::string_view name) const;

    void setNextContext(KxContext* next) { next_ = next; }

  private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>()(text);
        }
    };
    std::unordered_map<KxCString, KxContextObject, Hash, std::equal_to<>> values_;
    KxContext* next_ = nullptr;
};
