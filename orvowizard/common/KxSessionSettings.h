#pragma once
// A servlet's settings in the HTTP session as a template context source.
// The servlet names the settings a page may show (texts and flags, kept in
// the session under the servlet's prefix followed by the name); each is read
// from the session when the page first uses it, once, and then kept for the
// rest of the request. Settings the page never uses are never read, and a
// text is shown straight from the session's own copy, never copied.
//
// An absent text reads as "" and an absent flag as false, as the session
// accessors read them; a setting stored with the other type throws
// KxServletException when it is read.
#include <string_view>
#include <vector>

#include "platform/base/KxCString.h"
#include "platform/servlet/KxHttpSession.h"
#include "platform/template/KxContextSource.h"

class KxSessionSettings : public KxContextSource {
  public:
    // The session must outlive the source (the request's rendering).
    KxSessionSettings(const KxHttpSession& session, KxCString prefix);

    // The names live as long as the source: they are string literals of the
    // servlets' settings tables.
    void addText(std::string_view name);
    void addFlag(std::string_view name);

    KxContextObject find(const KxContextKey& key) override;

    // How many settings were read from the session so far.
    std::size_t readCount() const { return reads_; }

  private:
    struct Setting {
        KxContextKey key;
        bool flag = false;
        bool read = false;
        KxContextObject value;
    };

    KxContextObject read(const Setting& setting);

    const KxHttpSession& session_;
    const KxCString prefix_;
    std::vector<Setting> settings_;
    KxCString sessionKey_;  // the key of the setting being read
    std::size_t reads_ = 0;
};
