#pragma once
// Reads a project's errors.xml, the generator's list of errors and warnings,
// into XmlError records for the status page.
#include "orvowizard/common/KxRecords.h"
#include "platform/template/KxContext.h"
#include "platform/xml/KxXmlReader.h"

// Puts the records of projectDir's errors.xml into the context as "errors".
// A missing or empty file puts nothing. A broken file is reported with one
// line on standard output, and the records read before the fault are put.
void readErrorFile(const KxCString& projectDir, KxContext& context);

// Read one <Error> or <Warning> element; the reader stands before it and is
// left after its end.
XmlError readError(KxXmlReader& reader);
XmlError readWarning(KxXmlReader& reader);
// Fills line, column and file from a <location> element.
void readLocation(KxXmlReader& reader, XmlError& record);
// A copy of the named attribute's value; "" when the tag has none.
KxCString attributeValue(const KxXmlAttributeSet& attributes, const KxCString& name);
