#pragma once
// A name as the template engine looks it up: its text and its hash, worked
// out once (when a template is parsed, or when a table of names is made) so
// that a look-up per rendered value neither hashes nor copies the name.
#include <cstddef>
#include <functional>
#include <string_view>

// The hash every look-up of the engine uses for a name.
inline std::size_t kxcontextHash(std::string_view name) {
    return std::hash<std::string_view>()(name);
}

struct KxContextKey {
    std::string_view name;
    std::size_t hash = 0;

    KxContextKey() = default;
    KxContextKey(std::string_view text, std::size_t textHash) : name(text), hash(textHash) {}
    explicit KxContextKey(std::string_view text) : name(text), hash(kxcontextHash(text)) {}

    // Equal hashes say little; the texts decide.
    bool matches(std::string_view text, std::size_t textHash) const {
        return hash == textHash && name == text;
    }
};
