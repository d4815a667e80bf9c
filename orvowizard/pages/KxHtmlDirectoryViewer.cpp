#include "orvowizard/pages/KxHtmlDirectoryViewer.h"

#include "orvowizard/common/KxContextAdapters.h"
#include "orvowizard/common/KxFileUtilities.h"
#include "orvowizard/common/KxSessionAccessors.h"
#include "platform/servlet/KxDirectoryIter.h"

DirectoryData directoryStatus(const KxCString& path, const KxCString& dir) {
    DirectoryData row;
    row.dir = dir;
    scanErrorsFile(path, row.hasErrors, row.hasWarnings);
    const bool hasProject = directoryHasFileEndingWith(path, "Project.xml");
    const bool hasErrorFile = directoryHasFileEndingWith(path, "errors.xml");
    row.hasStatus = hasProject || hasErrorFile || row.hasErrors || row.hasWarnings;
    row.loadable = isNonEmptyFile(path, "startup.properties");
    return row;
}

namespace {

bool beginsWith(const KxCString& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

}  // namespace

KxTemplate KxHtmlDirectoryViewer::processRequest(KxHttpServletRequest& request,
                                                 KxHttpServletResponse&, KxContext& context) {
    // 1. to 3. The directory: asked for, shown last, or the home's projects.
    KxCString dir = request.getParameter("dir");
    KxHttpSession& session = request.getSession(1);
    if (dir.empty()) {
        dir = getSessionString(session, "dir", "viewer");
        if (dir.empty()) {
            dir = homeDirectory() + "\\" + "projects";
        }
    }
    setSessionString(session, "dir", dir, "viewer", false);

    // 4. and 5.
    context.put("rootDir", dir);
    context.put("sepchar", "\\");
    const KxCString home = homeDirectory();
    if (isNonEmptyFile(home + "\\" + "docs", "index.html")) {
        context.put("kxhome", home);
    }

    // 6. to 8. The parent, then the subdirectories in the iterator's order;
    // the generators' temporary folders are left out.
    KxRecordList<DirectoryData> rows;
    auto tail = rows.before_begin();
    const KxCString parent = parentDirectory(dir);
    if (!parent.empty()) {
        context.put("parent", kxcreateContextObject(directoryStatus(parent, parent)));
    }
    for (KxDirectoryIter it(dir, KxDirectoryIter::kDirectories); it.isValid(); ++it) {
        const KxCString& name = it.getName();
        if (beginsWith(name, "tmp.codegen") || beginsWith(name, "tmp.projectgen")) {
            continue;
        }
        tail = appendRecord(rows, tail, directoryStatus(dir + "\\" + name, name));
    }

    // 9.
    context.put("tier", "viewer");
    context.put("directories", kxcreateContextObject(rows));
    return parseFile("dirviewer.tl");
}
