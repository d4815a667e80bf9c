#include "platform/servlet/KxDirectoryIter.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

#include "platform/base/Kxxmsg.h"
#include "platform/os/KxOs.h"

KxDirectoryIter::KxDirectoryIter(const KxCString& path, int kind) {
    const KxCString native = kx::os::nativePath(path);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(native.c_str()), closedir);
    if (!dir) {
        return;
    }
    const int fd = dirfd(dir.get());
    while (const dirent* entry = readdir(dir.get())) {
        const KxCString name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        bool isDirectory = entry->d_type == DT_DIR;
        bool isFile = entry->d_type == DT_REG;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat status {};
            if (fstatat(fd, entry->d_name, &status, 0) != 0) {
                if (kind != kAll) {
                    continue;  // a dangling link is neither a file nor a directory
                }
            } else {
                isDirectory = S_ISDIR(status.st_mode);
                isFile = S_ISREG(status.st_mode);
            }
        }
        if ((kind == kDirectories && !isDirectory) || (kind == kFiles && !isFile)) {
            continue;
        }
        entries_.push_back({name, isDirectory});
    }
    std::sort(entries_.begin(), entries_.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });
}

const KxCString& KxDirectoryIter::getName() const {
    if (!isValid()) {
        throw KxBoundsError("KxDirectoryIter: no current entry");
    }
    return entries_[position_].name;
}

bool KxDirectoryIter::isDir() const {
    if (!isValid()) {
        throw KxBoundsError("KxDirectoryIter: no current entry");
    }
    return entries_[position_].isDir;
}
