#include "platform/servlet/KxServletResponse.h"

#include <algorithm>

void KxServletResponse::flush() {
    if (committed_) {
        return;
    }
    committed_ = true;
    if (flushHandler_) {
        flushHandler_(*this);
    }
}

void KxHttpServletResponse::sendRedirect(const KxCString& url) {
    status_ = kFound;
    redirected_ = true;
    location_ = url;
}

void KxHttpServletResponse::setHeader(const KxCString& name, KxCString value) {
    std::erase_if(headers_, [&](const auto& header) { return header.first == name; });
    headers_.emplace_back(name, std::move(value));
}

void KxHttpServletResponse::addHeader(KxCString name, KxCString value) {
    headers_.emplace_back(std::move(name), std::move(value));
}
