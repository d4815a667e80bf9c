#pragma once
// The pieces of a data class's XML function bodies that DataCode.cpp and
// DataGroups.cpp share: how one element field's value is read and stored.
#include <cstddef>

#include "generators/emit/DataCode.h"
#include "generators/model/DataModel.h"

namespace kx::gen::data_code {

// What the model made of a field of the class (its names and types).
const FieldModel& fieldModel(const ClassModel& model, const Field& field);
// The name after get/set/add of a field's accessors.
const KxCString& accessor(const ClassModel& model, const Field& field);
// Statements that read one value of an element field from the element
// `child` into a new variable `value` of its item type.
KxCString readItem(const Schema& schema, const Field& field, const KxCString& indent,
                   bool external);
// The statement that stores `value` in the object.
KxCString storeItem(const ClassModel& model, const Field& field);
// Statements that read one value of an element field from `child` and
// store it in the object.
KxCString readAndStore(const Schema& schema, const ClassModel& model, const Field& field,
                       const KxCString& indent, bool external);
// Escaped for the inside of a C++ string literal.
KxCString inLiteral(const KxCString& text);
// The statement that checks the facets of a value read from `text` at the
// element `at` (or its attribute); empty when its type has none to check.
KxCString checkFacets(const SimpleKind& simple, const KxCString& at, const KxCString& text,
                      const KxCString& attribute = {});
// The test that `child` is the field's element.
KxCString isChild(const Field& field);

// The statements that read the element fields of one group (a choice or
// all) starting at fields[first]; first is moved past them.
KxCString readGroup(const Schema& schema, const ClassModel& model, std::size_t& first,
                    bool external);
// The statements that read a repeated group: an item per child element that
// is one of its alternatives, in document order.
KxCString readChoiceList(const Schema& schema, const ClassModel& model, const Field& field,
                         bool external);

// The body of xmlFields() of a table-driven class, and the bodies of its
// own part of the four XML functions, which hand the table to the runtime.
KxCString fieldTableBody(const Schema& schema, const ClassModel& model, bool external);
// The body of xmlField(object, index), which finds a field in the object.
KxCString fieldLookupBody(const ClassModel& model);
XmlFunctionBodies tableBodies(const ClassModel& model, bool external);

}  // namespace kx::gen::data_code
