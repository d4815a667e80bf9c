#include "generators/common/OutputWriter.h"

#include <cerrno>

#include "generators/common/Text.h"
#include "platform/os/KxOs.h"

namespace kx::gen {

namespace {

// The directory part of a path, either separator counting; empty for none.
KxCString directoryOf(const KxCString& path) {
    const auto separator = path.find_last_of("/\\");
    return separator == KxCString::npos ? KxCString() : path.substr(0, separator);
}

}  // namespace

OutputWriter::OutputWriter(KxCString outDir, std::ostream& log, Diagnostics& diagnostics)
    : outDir_(std::move(outDir)), log_(log), diagnostics_(diagnostics) {}

bool OutputWriter::writeFile(const KxCString& path, const KxCString& shownName,
                             const KxCString& content) {
    const KxCString directory = directoryOf(path);
    if (!directory.empty() && !makeDirectories(directory)) {
        diagnostics_.error("cannot create the directory " + directory + ": " + errnoText(errno));
        return false;
    }
    {
        std::ofstream out = kx::os::openForWriting(path, kx::os::OpenMode::Binary);
        if (out && out.write(content.data(), static_cast<std::streamsize>(content.size())) &&
            out.flush()) {
            log_ << "  wrote " << shownName << "\n";
            return true;
        }
    }
    diagnostics_.error("cannot write " + shownName + ": " + errnoText(errno));
    return false;
}

KxCString OutputWriter::shown(const KxCString& name) const {
    return kx::os::nativePath(joinPath(outDir_, name));
}

bool OutputWriter::write(const KxCString& name, const KxCString& content) {
    if (!writeFile(joinPath(outDir_, name), shown(name), content)) {
        return false;
    }
    written_.push_back(name);
    return true;
}

bool OutputWriter::writeSample(const KxCString& name, const KxCString& content) {
    const KxCString path = joinPath(outDir_, name);
    KxCString existing;
    kx::os::FileStatus status;
    const bool edited = kx::os::fileStatus(path, status) && status.size > 0 &&
                        kx::os::readWholeFile(path, existing) && existing != content;
    if (!edited) {
        return write(name, content);
    }
    log_ << "  kept " << shown(name) << " (it differs from the generated sample)\n";
    written_.push_back(name);
    const KxCString sample = name + ".sample";
    if (!writeFile(joinPath(outDir_, sample), shown(sample), content)) {
        return false;
    }
    written_.push_back(sample);
    return true;
}

bool OutputWriter::writeCopy(const KxCString& directory, const KxCString& name,
                             const KxCString& content) {
    const KxCString path = joinPath(directory, name);
    return writeFile(path, kx::os::nativePath(path), content);
}

}  // namespace kx::gen
