// The fields of content a schema leaves open: the elements of an xsd:any
// and the attributes of an xsd:anyAttribute, kept as generic trees and
// (namespace, name, value) triples, and the text of mixed content.
#include "generators/schema/Schema.h"

#include "generators/schema/SchemaParts.h"
#include "generators/support/Text.h"
#include "platform/base/KxText.h"

namespace kx::gen {

using namespace schema_parts;

namespace {

// The namespaces of a wildcard's namespace attribute, written in a
// schema document of that target namespace.
Wildcard wildcardOf(const XmlElement& wildcard, const KxCString& targetNamespace) {
    Wildcard made;
    made.processContents = wildcard.attributeOr("processContents", "strict");
    const KxCString written(kx::trimWhitespace(wildcard.attributeOr("namespace", "##any")));
    if (written == "##any") {
        return made;
    }
    made.anyNamespace = false;
    if (written == "##other") {
        made.except = true;
        made.namespaces = {KxCString()};
        if (!targetNamespace.empty()) {
            made.namespaces.push_back(targetNamespace);
        }
        return made;
    }
    std::size_t at = 0;
    while (at < written.size()) {
        const std::size_t end = std::min(written.find_first_of(" \t\r\n", at), written.size());
        const KxCString word = written.substr(at, end - at);
        at = end + 1;
        if (word.empty()) {
            continue;
        }
        made.namespaces.push_back(word == "##targetNamespace" ? targetNamespace
                                  : word == "##local"         ? KxCString()
                                                              : word);
    }
    return made;
}

bool hasField(const std::vector<DataType>& types, int index, bool (*test)(const Field&)) {
    for (int at = index; at >= 0; at = types[static_cast<std::size_t>(at)].baseIndex) {
        for (const Field& field : types[static_cast<std::size_t>(at)].fields) {
            if (test(field)) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

void Schema::addWildcardField(const XmlElement& any, int index, const Document& document, int group,
                              bool optional, bool repeated) {
    // In a choice or an all the wildcard is one more member, tried after the
    // named ones.
    const std::size_t minOccurs = occursValue(any, "minOccurs");
    const std::size_t maxOccurs = occursValue(any, "maxOccurs");
    if (maxOccurs == 0) {
        return;
    }
    if (group >= 0) {
        emptiableInGroup(index, group, minOccurs);
    }
    Field field;
    field.at = any.at;
    field.group = group;
    field.isWildcard = true;
    field.wildcard = wildcardOf(any, document.targetNamespace);
    field.repeated = repeated || maxOccurs > 1;
    field.optional = !field.repeated && (optional || minOccurs == 0);
    field.minOccurs = optional ? 0 : minOccurs;
    field.typeName = "(any element)";
    field.cppType = "orvo::AnyElement";
    field.member = field.repeated ? "any" : "anyElement";
    addField(index, std::move(field));
}

// A reference to xsd:schema, as data sets carry their own schema before
// their rows: the schema is kept as it stands, like an xsd:any of the XML
// Schema namespace.
void Schema::addInlineSchemaField(const XmlElement& ref, int index, const Document& document,
                                  int group, bool optional, bool repeated) {
    XmlElement any = ref;
    any.name = "any";
    any.attributes = {{"namespace", kXsdNamespace}, {"processContents", "skip"}};
    for (const char* occurs : {"minOccurs", "maxOccurs"}) {
        if (const KxCString* value = ref.attribute(occurs)) {
            any.attributes.emplace_back(occurs, *value);
        }
    }
    addWildcardField(any, index, document, group, optional, repeated);
}

void Schema::addAnyAttributeField(const XmlElement& anyAttribute, int index,
                                  const Document& document) {
    if (hasField(types_, index, [](const Field& field) { return field.isAnyAttribute; })) {
        return;  // the base keeps them already
    }
    Field field;
    field.at = anyAttribute.at;
    field.isAnyAttribute = true;
    field.wildcard = wildcardOf(anyAttribute, document.targetNamespace);
    field.repeated = true;
    field.minOccurs = 0;
    field.typeName = "(any attribute)";
    field.cppType = "orvo::AnyAttribute";
    field.member = "otherAttributes";
    addField(index, std::move(field));
}

// A mixed type with element content keeps the text pieces between its child
// elements; one without keeps its text as the element's text.
void Schema::addMixedContent(int index, const XmlElement& at) {
    const bool hasElements = hasField(types_, index, [](const Field& field) {
        return !field.isAttribute && !field.isAnyAttribute && !field.isText;
    });
    if (hasField(types_, index,
                 [](const Field& field) { return field.isText || field.isTextPieces; })) {
        return;
    }
    Field field;
    field.at = at.at;
    field.cppType = "std::string";
    field.typeName = "(mixed content)";
    if (hasElements) {
        field.isTextPieces = true;
        field.repeated = true;
        field.minOccurs = 0;
        field.member = "mixed";
    } else {
        field.isText = true;
        field.member = "value";
    }
    addField(index, std::move(field));
}

}  // namespace kx::gen
