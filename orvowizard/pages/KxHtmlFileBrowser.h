#pragma once
// The file browser: lists one directory, all its subdirectories and the
// files matching the user's wildcard patterns, remembering the directory
// and the patterns per calling wizard ("tier").
#include <cstddef>
#include <optional>
#include <vector>

#include "orvowizard/common/KxRecords.h"
#include "platform/base/KxTRegex.h"
#include "platform/template/KxLumericServlet.h"

class KxHtmlFileBrowser : public KxLumericServlet {
  public:
    KxHtmlFileBrowser() = default;
    ~KxHtmlFileBrowser() override = default;

    KxTemplate processRequest(KxHttpServletRequest& request, KxHttpServletResponse& response,
                              KxContext& context) override;

  private:
    // A typed pattern, compiled, or the reason it could not be.
    struct Pattern {
        std::optional<KxTRegex<char>> regex;
        KxCString error;
    };
    std::vector<Pattern> compilePatterns(const KxCString& patterns);
    KxRecordList<FileData> listEntries(const KxCString& dir, const std::vector<Pattern>& patterns);
};

// The browser applies this many patterns at most, the first ones typed: each
// is compiled for the request, so the count bounds the request's work and
// memory.
inline constexpr std::size_t kMaxBrowsePatterns = 32;

// Turns a list of wildcard patterns, separated by any run of ",", ";" and
// blanks, into regular-expression texts in the same order: "." is escaped,
// "*" becomes ".*" and "?" becomes "."; everything else keeps its
// regular-expression meaning. No anchors are added.
KxRecordList<KxCString> parsePatternList(const KxCString& patterns);
