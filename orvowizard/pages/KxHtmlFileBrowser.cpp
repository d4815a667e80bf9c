#include "orvowizard/pages/KxHtmlFileBrowser.h"

#include "orvowizard/common/KxContextAdapters.h"
#include "orvowizard/common/KxFileUtilities.h"
#include "orvowizard/common/KxSessionAccessors.h"
#include "platform/servlet/KxDirectoryIter.h"

#include <algorithm>

namespace {

// Replaces every occurrence of from by to, left to right, never looking at
// what a replacement inserted.
KxCString replaceAll(const KxCString& text, const KxCString& from, const KxCString& to) {
    KxCString result;
    KxCString::size_type start = 0;
    for (auto found = text.find(from); found != KxCString::npos; found = text.find(from, start)) {
        result.append(text, start, found - start);
        result += to;
        start = found + from.size();
    }
    result.append(text, start);
    return result;
}

}  // namespace

KxRecordList<KxCString> parsePatternList(const KxCString& patterns) {
    KxRecordList<KxCString> expressions;
    auto tail = expressions.before_begin();
    static const char* const kSeparators = ",; ";
    KxCString::size_type start = patterns.find_first_not_of(kSeparators);
    while (start != KxCString::npos) {
        const auto end = patterns.find_first_of(kSeparators, start);
        const KxCString token = patterns.substr(start, end - start);
        // The order matters: the dots that "*" and "?" bring are not escaped.
        KxCString expression = replaceAll(token, ".", "\\.");
        expression = replaceAll(expression, "*", ".*");
        expression = replaceAll(expression, "?", ".");
        tail = appendRecord(expressions, tail, expression);
        start = patterns.find_first_not_of(kSeparators, end);
    }
    return expressions;
}

KxTemplate KxHtmlFileBrowser::processRequest(KxHttpServletRequest& request, KxHttpServletResponse&,
                                             KxContext& context) {
    // The directory, the patterns and the calling wizard: asked for, else
    // remembered for that wizard, else the home's examples and the usual
    // input files. Both are remembered for the next visit.
    KxCString dir = request.getParameter("dir");
    KxCString pattern = request.getParameter("pattern");
    KxCString tier = request.getParameter("tier");
    KxHttpSession& session = request.getSession(1);
    if (tier.empty()) {
        tier = "browse";
    }
    if (dir.empty()) {
        dir = getSessionString(session, "dir", tier);
        if (dir.empty()) {
            dir = homeDirectory() + "\\" + "examples";
        }
    }
    if (pattern.empty()) {
        pattern = getSessionString(session, "pattern", tier);
        if (pattern.empty()) {
            pattern = "*.wsdl, *.xsd, *.xml";
        }
    }
    setSessionString(session, "dir", dir, tier, false);
    setSessionString(session, "pattern", pattern, tier, false);

    // What the page shows above the list; the page's links hand the patterns
    // on with commas only.
    context.put("rootDir", dir);
    context.put("pattern", pattern);
    KxCString escapedPattern = pattern;
    std::ranges::replace(escapedPattern, ';', ',');
    context.put("escapepattern", escapedPattern);
    context.put("sepchar", "\\");
    const KxCString home = homeDirectory();
    if (isNonEmptyFile(home + "\\" + "docs", "index.html")) {
        context.put("kxhome", home);
    }
    const KxCString parent = parentDirectory(dir);
    if (!parent.empty()) {
        context.put("parent", kxcreateContextObject(FileData{parent, true, ""}));
    }

    context.put("tier", tier);
    context.put("files", kxcreateContextObject(listEntries(dir, compilePatterns(pattern))));
    return parseFile("filebrowse.tl");
}

std::vector<KxHtmlFileBrowser::Pattern> KxHtmlFileBrowser::compilePatterns(
    const KxCString& patterns) {
    // Each pattern is compiled once; one that is not a valid expression
    // keeps its error. Patterns past the first kMaxBrowsePatterns are not
    // used.
    std::vector<Pattern> compiled;
    for (const KxCString& expression : parsePatternList(patterns)) {
        if (compiled.size() == kMaxBrowsePatterns) {
            log("Only the first " + std::to_string(kMaxBrowsePatterns) +
                " patterns are used; the others are passed over");
            break;
        }
        Pattern pattern;
        try {
            pattern.regex.emplace(expression);
        } catch (const Kxxmsg& error) {
            pattern.error = error.why();
        }
        compiled.push_back(std::move(pattern));
    }
    return compiled;
}

KxRecordList<FileData> KxHtmlFileBrowser::listEntries(const KxCString& dir,
                                                      const std::vector<Pattern>& patterns) {
    // Every directory; files that a pattern finds, trying the patterns in
    // order. A pattern that is not a valid expression is logged for every
    // file it is tried on, and passed over.
    KxRecordList<FileData> files;
    auto tail = files.before_begin();
    for (KxDirectoryIter it(dir, KxDirectoryIter::kAll); it.isValid(); ++it) {
        const KxCString& name = it.getName();
        if (it.isDir()) {
            tail = appendRecord(files, tail, FileData{name, true, ""});
            continue;
        }
        for (const Pattern& pattern : patterns) {
            if (!pattern.regex) {
                log("Exception thrown: " + pattern.error);
            } else if (pattern.regex->search(name, 0, name.size())) {
                tail = appendRecord(files, tail, FileData{name, false, ""});
                break;
            }
        }
    }
    return files;
}
