#pragma once
// Building a generated project from the status page: make runs in the
// project folder through the command interpreter (no shell, the same time
// limit as the generators), its console output goes to build.txt, and its
// exit status and time to build.status. The status page then reads the
// compiler's diagnostics from build.txt and lists what the build produced.
#include <string>
#include <vector>

#include "orvowizard/runs/KxBuildDiagnostics.h"
#include "platform/base/KxCString.h"

struct KxBuildRun {
    enum class Outcome {
        Ran,         // make ran; status is its exit status
        NoMakefile,  // the folder has no makefile of its own
        Busy,        // a build of this folder is going on
        Failed,      // the folder could not be entered
    };
    Outcome outcome = Outcome::Failed;
    int status = -1;
};

// Runs make in the project folder dir (in the system's form). runId names
// the run for a page that follows its output (may be empty).
KxBuildRun buildProject(const KxCString& dir, const KxCString& runId);

// What the last build of a folder left.
struct KxBuildReport {
    bool ran = false;  // build.status exists
    int status = -1;
    KxCString seconds;  // how long make ran, as written
    KxBuildDiagnostics diagnostics;
    std::vector<KxCString> libraries;  // file names, relative to the folder
    std::vector<KxCString> programs;
};

KxBuildReport readBuildReport(const KxCString& dir);

// The files of a build's console output and outcome.
inline constexpr const char* kBuildOutputFile = "build.txt";
inline constexpr const char* kBuildStatusFile = "build.status";
