#include "orvowizard/common/KxErrorFileReader.h"

#include <cstdlib>
#include <iostream>

#include "orvowizard/common/KxContextAdapters.h"
#include "orvowizard/common/KxFileUtilities.h"
#include "platform/os/KxOs.h"

namespace {

// The text content of an optional child element; nothing is consumed when
// the child is not next.
bool readOptionalValue(KxXmlReader& reader, const char* element, KxCString& value) {
    if (!reader.isElementNext(element)) {
        return false;
    }
    reader.readElementStart(element);
    value = reader.readElementValue();
    reader.readElementEnd(element);
    return true;
}

XmlError readRecord(KxXmlReader& reader, const char* element, bool isError) {
    reader.readElementStart(element);
    XmlError record;
    record.isError = isError;
    readOptionalValue(reader, "message", record.message);
    if (reader.isElementNext("location")) {
        readLocation(reader, record);
    }
    reader.readElementEnd(element);
    return record;
}

}  // namespace

XmlError readError(KxXmlReader& reader) {
    return readRecord(reader, "Error", true);
}

XmlError readWarning(KxXmlReader& reader) {
    return readRecord(reader, "Warning", false);
}

void readLocation(KxXmlReader& reader, XmlError& record) {
    reader.readElementStart("location");
    const KxXmlAttributeSet attributes = reader.getLastAttributes();
    // Digits are read as atoi reads them (text without digits gives 0); a
    // missing attribute leaves the field unknown (-1).
    if (attributes.find("column")) {
        record.column = std::atoi(attributeValue(attributes, "column").c_str());
    }
    if (attributes.find("line")) {
        record.line = std::atoi(attributeValue(attributes, "line").c_str());
    }

    readOptionalValue(reader, "publicId", record.file);
    KxCString systemId;
    if (readOptionalValue(reader, "systemId", systemId) && !systemId.empty()) {
        record.file = systemId;
    }
    reader.readElementEnd("location");
}

KxCString attributeValue(const KxXmlAttributeSet& attributes, const KxCString& name) {
    const KxXmlAttribute* attribute = attributes.find(name);
    return attribute ? attribute->getValue() : KxCString();
}

namespace {

// Appends the records of an errors.xml text, wrapped in one root element, up
// to the end or to the first fault; a fault is reported on standard output
// unless the text was cut short, where one is expected.
KxRecordList<XmlError>::iterator appendRecords(KxRecordList<XmlError>& records,
                                               const KxCString& text, bool truncated) {
    auto tail = records.before_begin();
    const KxCString document = "<errors>" + text + "</errors>";
    try {
        KxXmlReader reader(document);
        reader.setExpandAttributeReference(true);
        reader.readElementStart("errors");
        for (;;) {
            reader.isElementNext("errors");
            if (reader.getLastNodeType() == KxXmlReader::ElementEnd) {
                break;
            }
            if (reader.isElementNext("Error")) {
                tail = appendRecord(records, tail, readError(reader));
            } else if (reader.isElementNext("Warning")) {
                tail = appendRecord(records, tail, readWarning(reader));
            } else if (reader.getLastNodeType() == KxXmlReader::ElementStart) {
                // Any other element yields no record; passing over it keeps
                // the loop moving.
                reader.skipElement();
            }
            if (reader.eof()) {
                break;
            }
        }
        reader.readElementEnd("errors");
    } catch (const Kxxmsg& error) {
        if (!truncated) {
            std::cout << "Exception was thrown while reading error file: " << error.why()
                      << std::endl;
        }
    }
    return tail;
}

// The warning that ends the list when the file was read only in part.
XmlError truncationNotice() {
    const KxCString limit = std::to_string(kMaxErrorFileBytes / (1024 * 1024));
    XmlError notice;
    notice.isError = false;
    notice.message = "errors.xml is larger than " + limit + " MB: only the messages in its first " +
                     limit + " MB are shown";
    notice.file = "errors.xml";
    return notice;
}

}  // namespace

void readErrorFile(const KxCString& projectDir, KxContext& context) {
    // A generator gone wrong can write an error file of any size: only its
    // first kMaxErrorFileBytes are read, and a warning at the end of the list
    // says that the rest is not shown.
    KxCString text;
    const bool truncated =
        kx::os::readRegularFile(projectDir + "/errors.xml", text, kMaxErrorFileBytes,
                                kx::os::Overflow::KeepPrefix) == kx::os::ReadOutcome::Truncated;
    if (text.empty()) {
        return;
    }
    KxRecordList<XmlError> records;
    const auto tail = appendRecords(records, text, truncated);
    if (truncated) {
        appendRecord(records, tail, truncationNotice());
    }
    context.put("errors", kxcreateContextObject(records));
}
