#include "platform/servlet/KxServletResponse.h"

#include <unistd.h>

#include <algorithm>

KxServletResponse::KxServletResponse(KxServletResponse&& other) noexcept
    : contentType_(std::move(other.contentType_)),
      payload_(std::move(other.payload_)),
      payloadFile_(std::exchange(other.payloadFile_, -1)),
      payloadStream_(std::move(other.payloadStream_)),
      payloadSet_(other.payloadSet_),
      committed_(other.committed_),
      flushHandler_(std::move(other.flushHandler_)) {}

KxServletResponse& KxServletResponse::operator=(KxServletResponse&& other) noexcept {
    if (this != &other) {
        setPayloadFile(std::exchange(other.payloadFile_, -1));
        contentType_ = std::move(other.contentType_);
        payload_ = std::move(other.payload_);
        payloadStream_ = std::move(other.payloadStream_);
        payloadSet_ = other.payloadSet_;
        committed_ = other.committed_;
        flushHandler_ = std::move(other.flushHandler_);
    }
    return *this;
}

KxServletResponse::~KxServletResponse() {
    if (payloadFile_ >= 0) {
        ::close(payloadFile_);
    }
}

void KxServletResponse::setPayload(KxCString text) {
    setPayloadFile(-1);
    payloadStream_.reset();
    payload_ = std::move(text);
}

void KxServletResponse::setPayloadFile(int fd) {
    if (payloadFile_ >= 0 && payloadFile_ != fd) {
        ::close(payloadFile_);
    }
    payloadFile_ = fd;
    if (fd >= 0) {
        payload_.clear();
        payloadStream_.reset();
    }
}

void KxServletResponse::setPayloadStream(std::shared_ptr<KxPayloadStream> stream) {
    setPayloadFile(-1);
    payload_.clear();
    payloadStream_ = std::move(stream);
}

int KxServletResponse::releasePayloadFile() {
    return std::exchange(payloadFile_, -1);
}

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
