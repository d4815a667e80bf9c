#include "orvowizard/runs/KxProjectBuild.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "orvowizard/common/KxFileUtilities.h"
#include "orvowizard/runs/KxProjectZip.h"
#include "orvowizard/runs/KxRunRegistry.h"
#include "platform/os/KxAtomicFile.h"
#include "platform/os/KxCommand.h"
#include "platform/os/KxOs.h"
#include "platform/servlet/KxProperties.h"

namespace {

// The console output read for diagnostics at most; a longer one is read up
// to here (the compiler's first errors are the ones that count).
constexpr std::size_t kMaxConsoleBytes = 4 * 1024 * 1024;

bool isRegularNotLink(const KxCString& path) {
    kx::os::FileStatus status;
    return !kx::os::isSymbolicLink(path) && kx::os::fileStatus(path, status) &&
           status.isRegular() && status.size > 0;
}

// The libraries and programs directly in the folder: build outputs that are
// not object files. A name tells a library; only a file someone may execute
// is read, for its ELF header, so a folder of many sources costs no reads.
void listProducts(const KxCString& dir, KxBuildReport& report) {
    std::error_code error;
    std::vector<std::filesystem::directory_entry> entries;
    for (const auto& entry : std::filesystem::directory_iterator(kx::os::nativePath(dir), error)) {
        entries.push_back(entry);
    }
    std::sort(entries.begin(), entries.end());
    for (const auto& entry : entries) {
        if (entry.is_symlink(error) || !entry.is_regular_file(error)) {
            continue;
        }
        const std::string name = entry.path().filename().string();
        if (isBuildOutput(name, "")) {
            // Object files, dependency files and precompiled headers are not
            // listed.
            if (name.ends_with(".a") || name.ends_with(".lib") || name.ends_with(".dll") ||
                name.find(".so") != std::string::npos) {
                report.libraries.push_back(name);
            }
            continue;
        }
        const auto perms = entry.status(error).permissions();
        if ((perms & std::filesystem::perms::owner_exec) == std::filesystem::perms::none) {
            continue;
        }
        char head[4] = {};
        if (FILE* file = std::fopen(entry.path().c_str(), "rb")) {
            const std::size_t got = std::fread(head, 1, sizeof head, file);
            std::fclose(file);
            if (isBuildOutput(name, std::string_view(head, got))) {
                report.programs.push_back(name);
            }
        }
    }
}

}  // namespace

KxBuildRun buildProject(const KxCString& dir, const KxCString& runId) {
    KxBuildRun result;
    if (!isRegularNotLink(dir + "\\makefile")) {
        result.outcome = KxBuildRun::Outcome::NoMakefile;
        return result;
    }
    const auto run = KxRunRegistry::shared().begin(runId, dir + "\\" + kBuildOutputFile,
                                                   kx::os::realPathOf(dir));
    if (!run) {
        result.outcome = KxBuildRun::Outcome::Busy;
        return result;
    }
    const CurrentDirectoryGuard returnAfterwards;
    if (!changeDirectory(dir)) {
        return result;
    }
    const auto started = std::chrono::steady_clock::now();
    result.status = kx::os::runCommand(KxCString("make > ") + kBuildOutputFile);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", took.count());
    // Replaced whole, never written through a link planted in its place.
    kx::os::writeFileAtomically(kBuildStatusFile, "status=" + std::to_string(result.status) +
                                                      "\nseconds=" + seconds + "\n");
    result.outcome = KxBuildRun::Outcome::Ran;
    return result;
}

KxBuildReport readBuildReport(const KxCString& dir) {
    KxBuildReport report;
    KxProperties outcome;
    const KxCString statusFile = dir + "\\" + kBuildStatusFile;
    if (kx::os::isSymbolicLink(statusFile) || !outcome.load(statusFile)) {
        return report;
    }
    report.ran = true;
    try {
        report.status = std::stoi(outcome.get("status"));
    } catch (const std::exception&) {
        report.status = -1;
    }
    report.seconds = outcome.get("seconds");
    KxCString console;
    kx::os::readRegularFile(dir + "\\" + kBuildOutputFile, console, kMaxConsoleBytes,
                            kx::os::Overflow::KeepPrefix);
    report.diagnostics = readBuildDiagnostics(console);
    listProducts(dir, report);
    return report;
}
