#pragma once
// The generation status page. In page mode it shows one project: its
// settings, the generator's errors and warnings, and the generated files in
// groups. In file mode (a path info) it answers with the bytes of one file
// below the last project shown, or below the home for the documentation.
// Beside those, oper=build (a POST) builds a project with its makefile and
// shows the build's outcome, diagnostics and products on the page, and
// oper=zip sends a project folder as a zip archive. A built service project
// can run in a container of its own (oper=run, oper=stop, both POSTs); the
// page then shows its address and links to the try-it page of each port.
#include "orvowizard/common/KxRecords.h"
#include "platform/servlet/KxProperties.h"
#include "platform/template/KxLumericServlet.h"

class KxStatusPage : public KxLumericServlet {
  public:
    KxStatusPage() = default;
    ~KxStatusPage() override = default;

    // Reads the init parameter "max-services": how many services run at
    // once (default 4).
    void init() override;
    using KxLumericServlet::init;
    // Stops the services this page started.
    void destroy() override;

    KxTemplate processRequest(KxHttpServletRequest& request, KxHttpServletResponse& response,
                              KxContext& context) override;

    // Puts the records of projectDir's errors.xml into the context as
    // "errors" (nothing when the file is missing or empty).
    static void readErrorFile(const KxCString& projectDir, KxContext& context);

  private:
    // Runs make in the project, then sends the browser back to the page.
    KxTemplate runBuild(KxHttpServletRequest& request, KxHttpServletResponse& response,
                        const KxCString& dir, const KxCString& tier);
    // Runs the project's service (oper=run) or stops it (oper=stop), then
    // sends the browser back to the page.
    KxTemplate runOrStopService(KxHttpServletResponse& response, const KxCString& dir,
                                const KxCString& tier, bool run);
    // The service section's values: whether the project can run, and its
    // service's state, address, ports and problems.
    static void putServiceReport(KxContext& context, const KxCString& dir, const KxCString& notice);
    // The project folder as a zip archive, streamed; build outputs only when
    // asked for.
    KxTemplate sendZip(KxHttpServletResponse& response, const KxCString& dir,
                       bool includeBuildOutputs);
    // The build section's values: whether the project can be built, the last
    // build's outcome, diagnostics and products.
    static void putBuildReport(KxContext& context, const KxCString& dir, const KxCString& notice);
    KxTemplate serveFile(KxHttpSession& session, KxHttpServletResponse& response,
                         const KxCString& pathInfo, const KxCString& home);
    // Whether a generation run left its marks in dir: an errors.xml or a
    // project description.
    static bool isProjectDirectory(const KxCString& dir);
    // Answers with the regular file at path, which must really lie below
    // servedFrom; an invalid template with no payload when the page is to be
    // shown instead.
    KxTemplate sendFile(KxHttpServletResponse& response, const KxCString& path,
                        const KxCString& servedFrom, const KxCString& pathInfo);
    KxTemplate renderPage(KxContext& context, const KxCString& dir, const KxCString& tier,
                          const KxCString& errorMessage, const KxCString& home,
                          const KxCString& buildNotice, const KxCString& serviceNotice);
};

// The generated files of a project directory, sorted into the status page's
// groups by their names.
struct GeneratedFileLists {
    KxRecordList<GeneratedFile> dataFiles;
    KxRecordList<GeneratedFile> clientFiles;
    KxRecordList<GeneratedFile> serverFiles;
    KxRecordList<GeneratedFile> sampleFiles;
    KxRecordList<KxCString> msvc6;
    KxRecordList<KxCString> msvc7;
};

// type, html and make are the project's settings as startup.properties
// holds them.
GeneratedFileLists listGeneratedFiles(const KxCString& dir, const KxCString& type,
                                      const KxCString& html, const KxCString& make,
                                      const KxCString& projectName);
