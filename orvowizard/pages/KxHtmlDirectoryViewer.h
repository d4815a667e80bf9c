#pragma once
// The project directory: lists the subdirectories of one directory (by
// default the home's "projects") and tells for each whether it shows signs
// of a generation run and whether it can be loaded back into its wizard.
#include "orvowizard/common/KxRecords.h"
#include "platform/template/KxLumericServlet.h"

class KxHtmlDirectoryViewer : public KxLumericServlet {
  public:
    KxHtmlDirectoryViewer() = default;
    ~KxHtmlDirectoryViewer() override = default;

    KxTemplate processRequest(KxHttpServletRequest& request, KxHttpServletResponse& response,
                              KxContext& context) override;
};

// The row for the directory at path, shown as dir.
DirectoryData directoryStatus(const KxCString& path, const KxCString& dir);
