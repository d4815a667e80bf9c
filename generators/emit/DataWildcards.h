#pragma once
// The statements of a data class's XML functions for content the schema
// leaves open: the elements of a wildcard, read into orvo::AnyElement trees
// while they are of its namespaces and not one of the elements declared
// after it; the attributes of an xsd:anyAttribute the class does not
// declare; and the text pieces of mixed content. DataCode.cpp places them.
#include <cstddef>

#include "generators/model/DataModel.h"

namespace kx::gen {

// Whether the field holds open content (read and written by the functions
// below, not as an element or attribute of its own).
bool isOpenField(const Field& field);

// For writeAttributes: the kept attributes, and the text pieces of mixed
// content handed to the writer to place between the child elements.
KxCString writeOpenAttributes(const ClassModel& model);
// For writeContent: the elements of the wildcard field.
KxCString writeWildcard(const ClassModel& model, const Field& field);

// For readAttributes: the attributes the class does not declare that its
// xsd:anyAttribute takes, and the text pieces of mixed content.
KxCString readOpenAttributes(const ClassModel& model);
// For readContent: the elements the wildcard at type.fields[index] takes.
KxCString readWildcard(const Schema& schema, const ClassModel& model, std::size_t index,
                       bool external);
// Statements that also read `child`, just read into the tree `target`, into
// the class of the element it is, where a lax or strict wildcard knows it;
// empty when the wildcard knows none.
KxCString readKnownElements(const Schema& schema, const Wildcard& wildcard, const KxCString& target,
                            const KxCString& indent, bool external);
// The test that `child` is an element the wildcard alternative of the
// repeated choice at type.fields[index] takes: of its namespaces and not
// one of the elements declared after the choice (its named alternatives are
// tried first).
KxCString takesAlternative(const DataType& type, std::size_t index, const Field& alternative);

}  // namespace kx::gen
