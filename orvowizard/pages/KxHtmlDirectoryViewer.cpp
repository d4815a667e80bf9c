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

KxTemplate KxHtmlDirectoryViewer::processRequest(KxHttpServletRequest& request,
                                                 KxHttpServletResponse&, KxContext& context) {
    // The directory: the one asked for, else the one shown last, else the
    // home's projects; it is remembered for the next visit.
    KxCString dir = request.getParameter("dir");
    KxHttpSession& session = request.getSession(1);
    if (dir.empty()) {
        dir = getSessionString(session, "dir", "viewer");
        if (dir.empty()) {
            dir = homeDirectory() + "\\" + "projects";
        }
    }
    setSessionString(session, "dir", dir, "viewer", false);

    // The directory itself, the separator the page joins names with, and
    // the product documentation when it is there.
    context.put("rootDir", dir);
    context.put("sepchar", "\\");
    const KxCString home = homeDirectory();
    if (isNonEmptyFile(home + "\\" + "docs", "index.html")) {
        context.put("kxhome", home);
    }

    // The parent, then the subdirectories in the iterator's order;
    // the generators' temporary folders are left out.
    KxRecordList<DirectoryData> rows;
    auto tail = rows.before_begin();
    const KxCString parent = parentDirectory(dir);
    if (!parent.empty()) {
        context.put("parent", kxcreateContextObject(directoryStatus(parent, parent)));
    }
    for (KxDirectoryIter it(dir, KxDirectoryIter::kDirectories); it.isValid(); ++it) {
        const KxCString& name = it.getName();
        if (name.starts_with("tmp.codegen") || name.starts_with("tmp.projectgen")) {
            continue;
        }
        tail = appendRecord(rows, tail, directoryStatus(dir + "\\" + name, name));
    }

    // The rows, and the tier the page's links hand on.
    context.put("tier", "viewer");
    context.put("directories", kxcreateContextObject(rows));
    return parseFile("dirviewer.tl");
}
