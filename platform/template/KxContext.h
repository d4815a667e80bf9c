#pragma once
// A template context: names mapped to values. A name the context does not
// hold is asked of its source, when it has one (values made on first use,
// such as a servlet's session settings), and then looked up in its next
// context, when it has one, so a context can add to or override the values
// of another without copying them.
#include <functional>
#include <memory>
#include <string_view>
#include <unordered_map>

#include "platform/template/KxContextKey.h"
#include "platform/template/KxContextObject.h"
#include "platform/template/KxContextSource.h"

class KxContext {
  public:
    KxContext() = default;
    KxContext(const KxContext&) = delete;
    KxContext& operator=(const KxContext&) = delete;

    void put(const KxCString& name, const KxCString& text);
    void put(const KxCString& name, const char* text);
    void put(const KxCString& name, const KxContextObject& value);
    // Removes a value put here; a name the source answers stays answered.
    void remove(const KxCString& name);

    // The value under name here (put, then the source) or down the chain;
    // the empty value when no context has it.
    KxContextObject get(std::string_view name) const;
    KxContextObject get(const KxContextKey& key) const;
    // The value put into this context alone.
    bool containsLocally(std::string_view name) const;

    void setNextContext(KxContext* next) { next_ = next; }

    // The source this context asks for the names it was not given; it
    // replaces the one before (nullptr for none).
    void setSource(std::unique_ptr<KxContextSource> source) { source_ = std::move(source); }
    KxContextSource* getSource() const { return source_.get(); }

  private:
    // Names hash as kxcontextHash does, so that a key's hash serves as it is.
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return kxcontextHash(text); }
        std::size_t operator()(const KxContextKey& key) const { return key.hash; }
    };
    struct Equal {
        using is_transparent = void;
        static std::string_view text(std::string_view name) { return name; }
        static std::string_view text(const KxContextKey& key) { return key.name; }
        template <class A, class B>
        bool operator()(const A& a, const B& b) const {
            return text(a) == text(b);
        }
    };
    std::unordered_map<KxCString, KxContextObject, Hash, Equal> values_;
    std::unique_ptr<KxContextSource> source_;
    KxContext* next_ = nullptr;
};
