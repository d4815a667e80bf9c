#pragma once
// The statements inside a data class's XML functions: what writes its
// attributes and content and what reads them back, field by field, with
// the checks of occurrence, groups, choices and lists. The templates lay
// out the functions around them.
#include "generators/model/DataModel.h"

namespace kx::gen {

// The bodies of the four functions that derived classes share, each with
// its closing line left to the template.
struct XmlFunctionBodies {
    KxCString writeAttributes;
    KxCString writeContent;
    KxCString readAttributes;
    KxCString readContent;
    // The body of xmlFields(), the table of a class whose fields fit one
    // (orvofields.h); empty for the others.
    KxCString fieldTable;
    KxCString fieldLookup;
};

XmlFunctionBodies xmlFunctionBodies(const Schema& schema, const ClassModel& model, bool external);

namespace data_code {
// Whether the class's fields are read and written from a field table
// (DataTable.cpp): all of them attributes, text content or elements in
// sequence, held as they are, in a std::optional or a std::vector, with no
// checks beyond their types.
bool tableDriven(const ClassModel& model);
// Whether such a class also stands alone (no base, no derived types, not
// named by xsi:type): its readXml() and writeXml() then hand the whole of
// the object to the table, and it has no functions for its parts.
bool leanClass(const ClassModel& model);
// The body of collectMissing(prefix, out, depth), the walk behind
// missingFields() (DataMissing.cpp), with its closing line left to the template.
KxCString missingFieldsBody(const ClassModel& model);
}  // namespace data_code

}  // namespace kx::gen
