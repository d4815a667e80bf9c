#pragma once
// The entries of one directory, not recursive, in byte order of their names.
// Kind 0 yields every entry, 1 the subdirectories, 2 the files. "." and ".."
// are never yielded; a missing or unreadable directory yields nothing.
// Symbolic links count as what they point to.
//
//   for (KxDirectoryIter it(dir, KxDirectoryIter::kFiles); it.isValid(); ++it)
//       use(it.getName());
#include <vector>

#include "platform/base/KxCString.h"

class KxDirectoryIter {
  public:
    enum Kind { kAll = 0, kDirectories = 1, kFiles = 2 };

    KxDirectoryIter(const KxCString& path, int kind = kAll);

    // True while the iterator stands on an entry.
    bool isValid() const { return position_ < entries_.size(); }
    explicit operator bool() const { return isValid(); }

    // The current entry's name (not its path).
    const KxCString& getName() const;
    bool isDir() const;

    void next() { ++position_; }
    KxDirectoryIter& operator++() {
        next();
        return *this;
    }

  private:
    struct Entry {
        KxCString name;
        bool isDir;
    };
    std::vector<Entry> entries_;
    std::size_t position_ = 0;
};
