#include "platform/template/KxContext.h"

void KxContext::put(const KxCString& name, const KxCString& text) {
    values_.insert_or_assign(name, kxcreateContextObject(text));
}

void KxContext::put(const KxCString& name, const char* text) {
    values_.insert_or_assign(name, kxcreateContextObject(text));
}

void KxContext::put(const KxCString& name, const KxContextObject& value) {
    values_.insert_or_assign(name, value);
}

void KxContext::remove(const KxCString& name) {
    values_.erase(name);
}

KxContextObject KxContext::get(std::string_view name) const {
    return get(KxContextKey(name));
}

KxContextObject KxContext::get(const KxContextKey& key) const {
    for (const KxContext* context = this; context; context = context->next_) {
        if (!context->values_.empty()) {
            auto it = context->values_.find(key);
            if (it != context->values_.end()) {
                return it->second;
            }
        }
        if (context->source_) {
            KxContextObject value = context->source_->find(key);
            if (value.getImpl()) {
                return value;
            }
        }
    }
    return {};
}

bool KxContext::containsLocally(std::string_view name) const {
    return values_.find(name) != values_.end();
}
