#include "orvowizard/common/KxFileUtilities.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <vector>

#include "platform/servlet/KxDirectoryIter.h"

KxPathBuffer getCurrentDir() {
    return kx::os::getCurrentDirectory();
}

void setCurrentDir(const KxPathBuffer& directory) {
    kx::os::setCurrentDirectory(directory.c_str());
}

bool changeDirectory(const KxCString& path) {
    return kx::os::setCurrentDirectory(path);
}

bool isNonEmptyFile(const KxCString& path) {
    kx::os::FileStatus status;
    return kx::os::fileStatus(path, status) && status.isRegular() && status.size > 0;
}

bool isNonEmptyFile(const KxCString& dir, const KxCString& name) {
    return isNonEmptyFile(dir + "\\" + name);
}

namespace {

bool isSeparator(char c) {
    return c == '/' || c == '\\';
}

// A path no file system takes, or one of more levels than a project folder
// ever needs, which would otherwise cost a system call per level.
bool exceedsPathLimits(const KxCString& path) {
    return path.size() > kMaxPathLength ||
           static_cast<std::size_t>(std::ranges::count_if(path, isSeparator)) > kMaxPathDepth;
}

// A level of the path still to be created: the path up to end, and whether
// its status could be read on the way up.
struct MissingLevel {
    KxCString::size_type end;
    bool statusRead;
};

// Walks up from path to the nearest folder that exists (or to a name without
// separators, which it creates), remembering each missing level on the way.
// The result is the message of the top: "" when it exists as a directory or
// was created.
KxCString findMissingLevels(const KxCString& path, std::vector<MissingLevel>& missing) {
    KxCString::size_type end = path.size();
    for (bool top = true;; top = false) {
        // Each parent loses one trailing separator, as the path itself did.
        if (!top && end > 0 && isSeparator(path[end - 1])) {
            --end;
        }
        const KxCString callPath = path.substr(0, end).c_str();
        kx::os::FileStatus status;
        const bool statusRead = kx::os::fileStatus(callPath, status);
        if (statusRead && status.isDirectory()) {
            return "";
        }
        if (statusRead && status.isRegular()) {
            return "Directory is actually a valid file.";
        }
        const auto separator = end == 0 ? KxCString::npos : path.find_last_of("/\\", end - 1);
        if (separator == KxCString::npos) {
            return kx::os::makeDirectory(callPath) ? KxCString() : errnoMessage(errno);
        }
        missing.push_back({end, statusRead});
        end = separator;
    }
}

// Creates the missing levels top down, starting from the top's message.
KxCString createMissingLevels(const KxCString& path, const std::vector<MissingLevel>& missing,
                              KxCString message) {
    for (auto level = missing.rbegin(); level != missing.rend(); ++level) {
        if (message.empty()) {
            if (!kx::os::makeDirectory(path.substr(0, level->end).c_str())) {
                message = errnoMessage(errno);
            }
        } else {
            // A parent that failed: its message is not passed on; what is
            // reported is the errno the failing calls left, and only when
            // this level's status could not be read.
            message = level->statusRead ? KxCString() : errnoMessage(errno);
        }
    }
    return message;
}

}  // namespace

KxCString makeDirectories(const KxCString& path) {
    // The trailing separator is overwritten by a NUL rather than removed, so
    // positions found below still refer to the text as it was given; the
    // system calls see the path up to the NUL.
    KxCString copy = path;
    if (!copy.empty() && isSeparator(copy.back())) {
        copy.back() = '\0';
    }
    if (exceedsPathLimits(copy)) {
        return errnoMessage(ENAMETOOLONG);
    }
    // The recursion "create the parent, then the directory itself" unrolled:
    // up to the nearest folder that exists, then down creating each missing
    // level, with the same system calls in the same order, so the same errno
    // ends up in the message.
    std::vector<MissingLevel> missing;
    const KxCString topMessage = findMissingLevels(copy, missing);
    return createMissingLevels(copy, missing, topMessage);
}

bool directoryHasFileEndingWith(const KxCString& dir, const KxCString& suffix) {
    for (KxDirectoryIter it(dir, KxDirectoryIter::kFiles); it.isValid(); ++it) {
        if (endsWith(it.getName(), suffix)) {
            return true;
        }
    }
    return false;
}

void scanErrorsFile(const KxCString& dir, bool& hasErrors, bool& hasWarnings) {
    hasErrors = false;
    hasWarnings = false;
    if (!isNonEmptyFile(dir, "errors.xml")) {
        return;
    }
    KxCString text;
    kx::os::readRegularFile(dir + "\\" + "errors.xml", text, kMaxErrorFileBytes,
                            kx::os::Overflow::KeepPrefix);
    hasErrors = text.find("<Error>") != KxCString::npos;
    hasWarnings = text.find("<Warning>") != KxCString::npos;
}

KxCString mimeTypeOf(const KxCString& fileName) {
    const auto dot = fileName.rfind('.');
    if (dot == KxCString::npos) {
        return "text/plain";
    }
    const KxCString extension = fileName.substr(dot + 1);
    if (extension == "wsdl" || extension == "xsd" || extension == "xslt") {
        return "text/xml";
    }
    return "text/plain";
}

KxCString parentDirectory(const KxCString& path) {
    const auto separator = path.find_last_of("/\\");
    return separator == KxCString::npos ? KxCString() : path.substr(0, separator);
}

bool endsWith(const KxCString& text, const KxCString& suffix) {
    return text.ends_with(suffix);
}

KxCString stripQuotes(const KxCString& text) {
    KxCString result;
    result.reserve(text.size());
    for (char c : text) {
        if (c != '"') {
            result += c;
        }
    }
    return result;
}

KxCString unescapeBackslashes(const KxCString& text) {
    KxCString result;
    result.reserve(text.size());
    for (KxCString::size_type i = 0; i < text.size(); ++i) {
        result += text[i];
        if (text[i] == '\\' && i + 1 < text.size()) {
            ++i;
            if (text[i] != '\\') {
                result += text[i];
            }
        }
    }
    return result;
}

KxCString homeDirectory() {
    return stripQuotes(kx::os::getEnvironment("KX_HOME").value_or(""));
}

KxCString errnoMessage(int errorNumber) {
    if (auto text = kx::os::errorText(errorNumber)) {
        return "Error: " + *text;
    }
    return "Error: " + std::to_string(errorNumber);
}
