// Fuzz target: the XML reader and the system's errors.xml reader. Each input
// is written as errors.xml into one temporary folder (made once per process)
// and read by readErrorFile, as the status page does; the records it puts are
// then walked as a template would. The same input also drives a plain walk
// of the pull reader over every element.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "orvowizard/common/KxErrorFileReader.h"
#include "platform/xml/KxXmlReader.h"

namespace {

const std::string& scratchFolder() {
    static const std::string folder = [] {
        char pattern[] = "/tmp/kxfuzz-errors.XXXXXX";
        if (!mkdtemp(pattern)) {
            std::perror("mkdtemp");
            std::abort();
        }
        return std::string(pattern);
    }();
    return folder;
}

void writeErrorsFile(const std::uint8_t* data, std::size_t size) {
    const std::string path = scratchFolder() + "/errors.xml";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::abort();
    }
    if (size > 0 && std::fwrite(data, 1, size, file) != size) {
        std::abort();
    }
    std::fclose(file);
}

void walkRecords(const KxContext& context) {
    KxContextObject errors = context.get("errors");
    if (!errors.isValid()) {
        return;
    }
    for (auto records = errors.getAsEnumeration(); records.hasMoreElements();) {
        const KxContextObject record = records.nextElement();
        for (const char* name : {"message", "file", "line", "column", "isError"}) {
            (void)record.getAttribute(name).toString();
        }
    }
}

// Every element of the document, as a reader that knows no names walks it.
void walkDocument(const std::string& document) {
    try {
        KxXmlReader reader(document);
        KxCString name;
        KxXmlAttributeSet attributes;
        // Each pass consumes a node or ends the walk, so the count bounds it.
        for (std::size_t step = 0; step <= document.size() && !reader.eof(); ++step) {
            if (reader.nextElement(name, attributes)) {
                (void)reader.readElementValue();
                (void)reader.getLineNumber();
                (void)reader.getColumnNumber();
            } else if (reader.getLastNodeType() == KxXmlReader::ElementEnd) {
                reader.readElementEnd(name);
            } else {
                break;
            }
        }
    } catch (const KxXmlException&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    writeErrorsFile(data, size);
    KxContext context;
    readErrorFile(scratchFolder(), context);
    walkRecords(context);
    walkDocument(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
