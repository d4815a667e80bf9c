#include "orvowizard/common/KxContextAdapters.h"

// Each record answers its attribute names, compared exactly and in the order
// of its fields: text as strings, flags as booleans, numbers as integers.

KxContextObject DirectoryDataContextObject::getAttribute(const KxCString& name) {
    if (name == "dir") {
        return kxcreateContextObject(record().dir);
    }
    if (name == "hasStatus") {
        return kxcreateContextObject(record().hasStatus);
    }
    if (name == "loadable") {
        return kxcreateContextObject(record().loadable);
    }
    if (name == "hasErrors") {
        return kxcreateContextObject(record().hasErrors);
    }
    if (name == "hasWarnings") {
        return kxcreateContextObject(record().hasWarnings);
    }
    return {};
}

KxContextObject FileDataContextObject::getAttribute(const KxCString& name) {
    if (name == "name") {
        return kxcreateContextObject(record().name);
    }
    if (name == "isDir") {
        return kxcreateContextObject(record().isDir);
    }
    if (name == "type") {
        return kxcreateContextObject(record().type);
    }
    return {};
}

KxContextObject GeneratedFileContextObject::getAttribute(const KxCString& name) {
    const GeneratedFile& file = record();
    if (name == "baseFile") {
        return kxcreateContextObject(file.baseFile);
    }
    if (name == "sourceFile") {
        return kxcreateContextObject(file.sourceFile);
    }
    if (name == "sourceFileExt") {
        return kxcreateContextObject(file.sourceFileExt);
    }
    if (name == "headerFile") {
        return kxcreateContextObject(file.headerFile);
    }
    if (name == "headerFileExt") {
        return kxcreateContextObject(file.headerFileExt);
    }
    if (name == "docFile") {
        return kxcreateContextObject(file.docFile);
    }
    if (name == "docFileExt") {
        return kxcreateContextObject(file.docFileExt);
    }
    if (name == "isNew") {
        return kxcreateContextObject(file.isNew);
    }
    return {};
}

KxContextObject XmlErrorContextObject::getAttribute(const KxCString& name) {
    if (name == "isError") {
        return kxcreateContextObject(record().isError);
    }
    if (name == "message") {
        return kxcreateContextObject(record().message);
    }
    if (name == "column") {
        return kxcreateContextObject(record().column);
    }
    if (name == "line") {
        return kxcreateContextObject(record().line);
    }
    if (name == "file") {
        return kxcreateContextObject(record().file);
    }
    if (name == "context") {
        return kxcreateContextObject(record().context);
    }
    if (name == "viewPath") {
        return kxcreateContextObject(record().viewPath);
    }
    return {};
}

KxContextObject kxcreateContextObject(const DirectoryData& record) {
    return KxContextObject(new DirectoryDataContextObject(record));
}

KxContextObject kxcreateContextObject(const FileData& record) {
    return KxContextObject(new FileDataContextObject(record));
}

KxContextObject kxcreateContextObject(const GeneratedFile& record) {
    return KxContextObject(new GeneratedFileContextObject(record));
}

KxContextObject kxcreateContextObject(const XmlError& record) {
    return KxContextObject(new XmlErrorContextObject(record));
}
