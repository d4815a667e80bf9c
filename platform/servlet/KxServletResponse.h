#pragma once
// Responses as servlets see them: a status, headers, a content type and a
// payload, or a redirect. The container turns it into the HTTP answer; a
// flush hands the response to the container at once.
#include <functional>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/base/KxCString.h"
#include "platform/servlet/KxPayloadStream.h"

class KxServletResponse {
  public:
    using FlushHandler = std::function<void(KxServletResponse&)>;

    KxServletResponse() = default;
    KxServletResponse(const KxServletResponse&) = delete;
    KxServletResponse& operator=(const KxServletResponse&) = delete;
    KxServletResponse(KxServletResponse&& other) noexcept;
    KxServletResponse& operator=(KxServletResponse&& other) noexcept;
    virtual ~KxServletResponse();

    void setContentType(KxCString type) { contentType_ = std::move(type); }
    const KxCString& getContentType() const { return contentType_; }

    // Replaces the body by text (and drops a payload file).
    void setPayload(KxCString text);
    // Appends to the body.
    void write(std::string_view text) { payload_.append(text); }
    const KxCString& getPayload() const { return payload_; }
    // The body, moved out: the response holds an empty one afterwards.
    KxCString takePayload() { return std::exchange(payload_, KxCString()); }
    // Sends an open regular file as the body, read in pieces as the client
    // takes them: memory stays constant whatever the file's size. The
    // response owns the descriptor and closes it. Replaces any payload.
    void setPayloadFile(int fd);
    int getPayloadFile() const { return payloadFile_; }  // -1 when none
    // Hands the payload file over to the caller, who closes it; -1 when none.
    int releasePayloadFile();
    // Sends the body as the stream produces it (see KxPayloadStream).
    // Replaces any payload or payload file.
    void setPayloadStream(std::shared_ptr<KxPayloadStream> stream);
    const std::shared_ptr<KxPayloadStream>& getPayloadStream() const { return payloadStream_; }
    // Also true with a payload file or stream.
    bool hasPayload() const {
        return payloadSet_ || payloadFile_ >= 0 || payloadStream_ || !payload_.empty();
    }
    // Marks the body as given even when it is empty.
    void markPayloadSet() { payloadSet_ = true; }

    // Sends what the response holds now. Only the first flush sends; later
    // changes stay unsent.
    void flush();
    bool isCommitted() const { return committed_; }
    void setFlushHandler(FlushHandler handler) { flushHandler_ = std::move(handler); }

  private:
    KxCString contentType_;
    KxCString payload_;
    int payloadFile_ = -1;
    std::shared_ptr<KxPayloadStream> payloadStream_;
    bool payloadSet_ = false;
    bool committed_ = false;
    FlushHandler flushHandler_;
};

class KxHttpServletResponse : public KxServletResponse {
  public:
    static constexpr int kOk = 200;
    static constexpr int kFound = 302;

    void setStatus(int status) { status_ = status; }
    int getStatus() const { return status_; }

    // Redirects to url: relative to the servlet's own address, or absolute
    // when it begins with "/". The text is used as it is.
    void sendRedirect(const KxCString& url);
    bool isRedirect() const { return redirected_; }
    const KxCString& getRedirectLocation() const { return location_; }

    // Replaces every header of that name.
    void setHeader(const KxCString& name, KxCString value);
    void addHeader(KxCString name, KxCString value);
    const std::vector<std::pair<KxCString, KxCString>>& getHeaders() const { return headers_; }

  private:
    int status_ = kOk;
    bool redirected_ = false;
    KxCString location_;
    std::vector<std::pair<KxCString, KxCString>> headers_;
};
