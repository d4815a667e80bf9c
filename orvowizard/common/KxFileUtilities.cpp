#include "orvowizard/common/KxFileUtilities.h"

#include <cerrno>
#include <cstring>
#include <iterator>

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

KxCString makeDirectories(const KxCString& path) {
    // The trailing separator is overwritten by a NUL rather than removed, so
    // positions found below still refer to the text as it was given; the
    // system calls see the path up to the NUL.
    KxCString copy = path;
    if (!copy.empty() && (copy.back() == '/' || copy.back() == '\\')) {
        copy.back() = '\0';
    }
    const KxCString callPath = copy.c_str();

    kx::os::FileStatus status;
    const bool statusRead = kx::os::fileStatus(callPath, status);
    if (statusRead && status.isDirectory()) {
        return "";
    }
    if (statusRead && status.isRegular()) {
        return "Directory is actually a valid file.";
    }

    const auto lastSlash = copy.rfind('/');
    const auto lastBackslash = copy.rfind('\\');
    if (lastSlash == KxCString::npos && lastBackslash == KxCString::npos) {
        if (!kx::os::makeDirectory(callPath)) {
            return errnoMessage(errno);
        }
        return "";
    }

    KxCString::size_type separator;
    if (lastSlash == KxCString::npos) {
        separator = lastBackslash;
    } else if (lastBackslash == KxCString::npos) {
        separator = lastSlash;
    } else {
        separator = std::max(lastSlash, lastBackslash);
    }
    const KxCString parentMessage = makeDirectories(copy.substr(0, separator));
    if (parentMessage.empty()) {
        if (!kx::os::makeDirectory(callPath)) {
            return errnoMessage(errno);
        }
        return "";
    }
    // The parent's own message is not passed on: what is reported is the
    // errno the failing calls left, and only when this path's status could
    // not be read.
    if (!statusRead) {
        return errnoMessage(errno);
    }
    return "";
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
    auto in = kx::os::openForReading(dir + "\\" + "errors.xml", kx::os::OpenMode::Text);
    const KxCString text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
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
    return suffix.size() <= text.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
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
