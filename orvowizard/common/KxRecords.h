#pragma once
// The records that pages show in lists. Plain copyable values; the servlet
// that fills each one gives its fields their meaning.
#include <forward_list>

#include "platform/base/KxCString.h"

// One row of the project directory viewer.
struct DirectoryData {
    KxCString dir;
    bool hasStatus = false;
    bool loadable = false;
    bool hasErrors = false;
    bool hasWarnings = false;
};

// One entry of the file browser.
struct FileData {
    KxCString name;
    bool isDir = false;
    KxCString type;
};

// One generated file on the status page, with the names of its source,
// header and documentation.
struct GeneratedFile {
    KxCString baseFile;
    KxCString sourceFile;
    KxCString sourceFileExt = "cpp";
    KxCString headerFile;
    KxCString headerFileExt = "h";
    KxCString docFile;
    KxCString docFileExt = "html";
    bool isNew = true;
};

// One error or warning of a generator run, as errors.xml reports it, or of
// a build, as the compiler printed it.
struct XmlError {
    bool isError = true;
    KxCString message;
    int column = -1;
    int line = -1;
    KxCString file;
    // A build's: the lines that explain it (include chain, notes, source),
    // and the file's path in the project for the viewer (empty when the file
    // is not the project's).
    KxCString context;
    KxCString viewPath;
};

// The lists pages build: singly linked, in insertion order.
template <class T>
using KxRecordList = std::forward_list<T>;

// Appends value at the end of a list whose last element tail points at
// (before_begin() for an empty list); returns the new tail.
template <class T>
typename KxRecordList<T>::iterator appendRecord(KxRecordList<T>& list,
                                                typename KxRecordList<T>::iterator tail, T value) {
    return list.insert_after(tail, std::move(value));
}
