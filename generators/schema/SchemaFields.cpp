// The fields of the schema model's classes: elements, attributes,
// derivation, groups and choices.
#include "generators/schema/Schema.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>

#include "generators/schema/SchemaParts.h"
#include "generators/support/Text.h"
#include "platform/base/KxText.h"
#include "platform/os/KxOs.h"

namespace kx::gen {

using namespace schema_parts;

void Schema::addField(int index, Field field) {
    // Accessors are named after the member with its first letter in upper
    // case, so members may not differ in that letter alone.
    std::set<KxCString> taken;
    for (int type = index; type >= 0; type = types_[static_cast<std::size_t>(type)].baseIndex) {
        for (const Field& other : types_[static_cast<std::size_t>(type)].fields) {
            taken.insert(upperFirst(other.member));
        }
    }
    const KxCString wanted = field.member;
    for (int suffix = 2; taken.count(upperFirst(field.member)) != 0; ++suffix) {
        field.member = wanted + std::to_string(suffix);
    }
    types_[static_cast<std::size_t>(index)].fields.push_back(std::move(field));
}

namespace {

// The field holds values of the C++ form of its schema type.
void holdAs(Field& field, const TypeUse& use) {
    field.cppType = use.cppType;
    field.isClass = use.isClass;
    field.classIndex = use.classIndex;
    field.simple = use.simple;
}

// The xsd:any that is the only particle of a model group, or nothing.
const XmlElement* onlyWildcard(const XmlElement& group) {
    const XmlElement* found = nullptr;
    for (const XmlElement& child : group.children) {
        if (child.namespaceUri != kXsdNamespace || child.name == "annotation") {
            continue;
        }
        if (child.name != "any" || found != nullptr) {
            return nullptr;
        }
        found = &child;
    }
    return found;
}

bool isFacet(const KxCString& kind) {
    static const std::set<KxCString> kFacets = {"enumeration",  "pattern",        "length",
                                                "minLength",    "maxLength",      "minInclusive",
                                                "maxInclusive", "minExclusive",   "maxExclusive",
                                                "totalDigits",  "fractionDigits", "whiteSpace"};
    return kFacets.count(kind) != 0;
}

}  // namespace

void Schema::emptiableInGroup(int index, int group, std::size_t minOccurs) {
    if (group < 0 || minOccurs != 0) {
        return;
    }
    // A choice with an alternative that may be absent may be empty.
    FieldGroup& outer =
        types_[static_cast<std::size_t>(index)].groups[static_cast<std::size_t>(group)];
    if (outer.kind == FieldGroup::Kind::Choice) {
        outer.optional = true;
    }
}

// The element a ref names, as a field's name and type; nothing when the
// reference was taken as a wildcard or substitution group, or fails.
std::optional<TypeUse> Schema::referencedElement(const XmlElement& element, const KxCString& ref,
                                                 int index, const Document& document, int group,
                                                 bool optional, bool repeated, Field& field) {
    std::optional<QName> name = nameIn(document, element, ref, true);
    if (!name) {
        return std::nullopt;
    }
    if (*name == QName{kXsdNamespace, "schema"}) {
        addInlineSchemaField(element, index, document, group, optional, repeated);
        return std::nullopt;
    }
    const GlobalElement* global = this->element(*name);
    if (global == nullptr) {
        fail("the element " + ref + " referred to in the type " +
                 types_[static_cast<std::size_t>(index)].name.local + " is not defined",
             document, element);
        return std::nullopt;
    }
    if (const std::vector<QName> candidates = substitutes(*name);
        candidates.size() != 1 || candidates.front() != *name) {
        addSubstitutionField(element, index, group, optional, repeated, candidates);
        return std::nullopt;
    }
    if (global->use) {  // else its own declaration is reported
        field.xml = *name;
        field.typeName = ref;
        field.nillable = field.nillable || global->nillable;
    }
    return global->use;
}

void Schema::addElementField(const XmlElement& element, int index, const Document& document,
                             int group, bool optional, bool repeated) {
    const DataType& owner = types_[static_cast<std::size_t>(index)];
    const KxCString ownerName = owner.name.local;
    const KxCString ownerClass = owner.className;
    Field field;
    field.at = element.at;
    field.group = group;
    const std::size_t minOccurs = occursValue(element, "minOccurs");
    const std::size_t maxOccurs = occursValue(element, "maxOccurs");
    if (maxOccurs == 0) {
        return;  // the element may not appear
    }
    emptiableInGroup(index, group, minOccurs);
    field.repeated = repeated || maxOccurs > 1;
    field.optional = !field.repeated && (optional || minOccurs == 0);
    field.minOccurs = optional ? 0 : minOccurs;
    field.nillable = isTrueAttribute(element, "nillable");
    std::optional<TypeUse> use;
    if (const KxCString* ref = element.attribute("ref")) {
        use = referencedElement(element, *ref, index, document, group, optional, repeated, field);
        if (!use) {
            return;
        }
    } else {
        const KxCString name = element.attributeOr("name");
        if (name.empty()) {
            warn("an element in the type " + ownerName +
                     " has neither name nor ref and is passed over",
                 document, element);
            return;
        }
        const KxCString form = element.attributeOr("form");
        const bool qualified = form.empty() ? document.elementsQualified : form == "qualified";
        field.xml = QName{qualified ? document.targetNamespace : KxCString(), name};
        field.typeName = element.attributeOr("type", "(anonymous)");
        use = useOfElement(element, document, ownerClass + upperFirst(identifier(name)), 0);
        if (!use) {
            return;
        }
    }
    field.member = identifier(field.xml.local);
    holdAs(field, *use);
    if (!use->isClass && use->simple.xsdType == "anyType") {
        field.anyContent = true;
        field.cppType = field.simple.cppType = "orvo::AnyElement";
    }
    addField(index, std::move(field));
}

std::optional<Schema::Declaration> Schema::attributeDeclaration(const XmlElement& attribute,
                                                                const Document& document,
                                                                const QName& owner, QName& name) {
    const KxCString* ref = attribute.attribute("ref");
    if (ref == nullptr) {
        const KxCString local = attribute.attributeOr("name");
        if (local.empty()) {
            return std::nullopt;
        }
        const KxCString form = attribute.attributeOr("form");
        const bool qualified = form.empty() ? document.attributesQualified : form == "qualified";
        name = QName{qualified ? document.targetNamespace : KxCString(), local};
        return Declaration{&attribute, &document};
    }
    std::optional<QName> referred = nameIn(document, attribute, *ref, true);
    if (!referred) {
        return std::nullopt;
    }
    if (referred->ns == kXmlNamespace) {
        // xml:lang, xml:space and the like: kept as strings, whatever a
        // copy of the XML namespace's schema says of them.
        name = *referred;
        return Declaration{&attribute, &document};
    }
    auto found = attributes_.find(*referred);
    if (found == attributes_.end()) {
        fail(
            "the attribute " + *ref + " referred to in the type " + owner.local + " is not defined",
            document, attribute);
        return std::nullopt;
    }
    name = *referred;
    return found->second;
}

void Schema::addAttributeField(const XmlElement& attribute, int index, const Document& document) {
    const DataType& owner = types_[static_cast<std::size_t>(index)];
    const KxCString ownerClass = owner.className;
    if (attribute.attributeOr("use") == "prohibited") {
        return;
    }
    Field field;
    field.at = attribute.at;
    field.isAttribute = true;
    field.optional = attribute.attributeOr("use") != "required";
    const std::optional<Declaration> found =
        attributeDeclaration(attribute, document, owner.name, field.xml);
    if (!found) {
        return;
    }
    const XmlElement* declaration = found->node;
    const Document* declared = found->document;
    std::optional<TypeUse> use = TypeUse{"std::string", false, -1, {}};
    field.typeName = declaration->attributeOr("type", "xsd:string");
    if (const KxCString* type = declaration->attribute("type")) {
        std::optional<QName> typeName = nameIn(*declared, *declaration, *type, true);
        use = typeName ? useOfType(*typeName, 0) : std::nullopt;
        if (!use || use->isClass) {
            fail("the type " + *type + " of the attribute " + field.xml.local + " in the type " +
                     types_[static_cast<std::size_t>(index)].name.local +
                     (use ? " is not a simple type" : " is not defined"),
                 document, attribute);
            return;
        }
    } else if (const XmlElement* simple = declaration->child("simpleType")) {
        use = useOfSimpleType(
            *simple, *declared,
            QName{declared->targetNamespace, ownerClass + upperFirst(identifier(field.xml.local))},
            0);
        if (!use) {
            return;
        }
    }
    field.cppType = use->cppType;
    field.simple = use->simple;
    field.defaultValue = attribute.attributeOr("default", declaration->attributeOr("default"));
    field.fixedValue = attribute.attributeOr("fixed", declaration->attributeOr("fixed"));
    field.member = identifier(field.xml.local);
    addField(index, std::move(field));
}

// A restriction of simple content keeps the base's text and attributes as
// fields of its own, except the attributes it declares (or prohibits) anew.
void Schema::keepBaseContent(const XmlElement& restriction, int index, int baseIndex) {
    std::set<KxCString> redeclared;
    for (const XmlElement& child : restriction.children) {
        if (child.namespaceUri == kXsdNamespace && child.name == "attribute") {
            redeclared.insert(localName(child.attributeOr("name", child.attributeOr("ref"))));
        }
    }
    for (int from = baseIndex; from >= 0; from = types_[static_cast<std::size_t>(from)].baseIndex) {
        const std::vector<Field> fields = types_[static_cast<std::size_t>(from)].fields;
        for (const Field& field : fields) {
            if (field.isText || field.isAnyAttribute ||
                (field.isAttribute && redeclared.count(field.xml.local) == 0)) {
                addField(index, field);
            }
        }
    }
}

void Schema::derive(const XmlElement& derivation, int index, const Document& document,
                    bool simpleContent) {
    // Resolving the base may add types, so only the name is kept at hand.
    const KxCString typeName = types_[static_cast<std::size_t>(index)].name.local;
    const KxCString baseText = derivation.attributeOr("base");
    std::optional<QName> base =
        baseText.empty() ? std::nullopt : nameIn(document, derivation, baseText, true);
    const bool extension = derivation.name == "extension";
    if (base) {
        auto baseClass = classOfType_.find(*base);
        if (baseClass != classOfType_.end()) {
            const int baseIndex = baseClass->second;
            if (state_[static_cast<std::size_t>(baseIndex)] == 1) {
                fail("the type " + typeName + " is derived from itself through " + baseText,
                     document, derivation);
            } else {
                resolveType(baseIndex);
                DataType& derived = types_[static_cast<std::size_t>(index)];
                if (extension) {
                    derived.baseIndex = baseIndex;
                    derived.baseName = baseText;
                } else if (simpleContent) {
                    keepBaseContent(derivation, index, baseIndex);
                }
            }
        } else if (simpleContent) {
            std::optional<TypeUse> use = useOfType(*base, 0);
            if (!use) {
                fail("the base type " + baseText + " of the type " + typeName + " is not defined",
                     document, derivation);
            } else {
                Field text;
                text.isText = true;
                text.member = "value";
                text.typeName = baseText;
                text.cppType = use->cppType;
                text.simple = use->simple;
                text.at = derivation.at;
                addField(index, std::move(text));
            }
        } else if (!(base->ns == kXsdNamespace && base->local == "anyType") &&
                   !useOfType(*base, 0)) {
            fail("the base type " + baseText + " of the type " + typeName + " is not defined",
                 document, derivation);
        }
    }
    collect(derivation, index, document, -1, false, false);
    if (simpleContent && !extension) {
        for (Field& field : types_[static_cast<std::size_t>(index)].fields) {
            if (field.isText) {
                applyFacets(derivation, field.simple, document);
            }
        }
    }
}

void Schema::collect(const XmlElement& content, int index, const Document& document, int group,
                     bool optional, bool repeated) {
    for (const XmlElement& child : content.children) {
        if (child.namespaceUri != kXsdNamespace) {
            continue;
        }
        const KxCString& kind = child.name;
        if (kind == "sequence" || kind == "choice" || kind == "all") {
            collectModelGroup(child, index, document, group, optional, repeated);
        } else if (kind == "element") {
            addElementField(child, index, document, group, optional, repeated);
        } else if (kind == "attribute") {
            addAttributeField(child, index, document);
        } else if (kind == "group" || kind == "attributeGroup") {
            collectGroupReference(child, index, document, group, optional, repeated);
        } else if (kind == "complexContent" || kind == "simpleContent") {
            for (const XmlElement& derivation : child.children) {
                if (derivation.name == "extension" || derivation.name == "restriction") {
                    derive(derivation, index, document, kind == "simpleContent");
                }
            }
        } else if (kind == "any") {
            addWildcardField(child, index, document, group, optional, repeated);
        } else if (kind == "anyAttribute") {
            addAnyAttributeField(child, index, document);
        } else if (isFacet(kind)) {
            // A simple content restriction's: checked on its text (derive).
        } else if (kind != "annotation") {
            warn("xsd:" + kind + " is not supported here and is passed over", document, child);
        }
    }
}

// A sequence, choice or all: its elements become fields of the type, of a
// group of alternatives, or of a repeated group kept occurrence by occurrence.
void Schema::collectModelGroup(const XmlElement& child, int index, const Document& document,
                               int group, bool optional, bool repeated) {
    const std::size_t minOccurs = occursValue(child, "minOccurs");
    const std::size_t maxOccurs = occursValue(child, "maxOccurs");
    const KxCString& kind = child.name;
    const bool repeatedHere = maxOccurs > 1 && !repeated && group < 0;
    const std::size_t atLeast = optional || minOccurs == 0 ? 0 : minOccurs;
    if (group >= 0) {
        emptiableInGroup(index, group, minOccurs);
        // Inside a choice or all: its elements are fields of the outer group,
        // which reads on while the children are theirs.
        types_[static_cast<std::size_t>(index)].groups[static_cast<std::size_t>(group)].nested =
            true;
        collect(child, index, document, group, kind == "choice" || optional,
                repeated || maxOccurs > 1);
    } else if (const XmlElement* any = onlyWildcard(child);
               any != nullptr && (repeatedHere || repeated)) {
        // A repeated group of one wildcard is a repeated wildcard.
        addWildcardField(*any, index, document, group, atLeast == 0, true);
    } else if (repeatedHere || (kind == "choice" && repeated)) {
        addRepeatedGroup(child, index, document, atLeast, kind);
    } else if (kind == "sequence") {
        collect(child, index, document, group, optional || minOccurs == 0, repeated);
    } else {
        std::vector<FieldGroup>& groups = types_[static_cast<std::size_t>(index)].groups;
        groups.push_back({kind == "choice" ? FieldGroup::Kind::Choice : FieldGroup::Kind::All,
                          optional || minOccurs == 0, false});
        collect(child, index, document, static_cast<int>(groups.size()) - 1,
                kind == "choice" || optional || minOccurs == 0, false);
    }
}

// A named group or attribute group, read in place of the reference.
void Schema::collectGroupReference(const XmlElement& child, int index, const Document& document,
                                   int group, bool optional, bool repeated) {
    const std::size_t minOccurs = occursValue(child, "minOccurs");
    const std::size_t maxOccurs = occursValue(child, "maxOccurs");
    const KxCString& kind = child.name;
    const KxCString ref = child.attributeOr("ref");
    std::optional<QName> name = nameIn(document, child, ref, true);
    auto& table = kind == "group" ? groups_ : attributeGroups_;
    auto found = name ? table.find(*name) : table.end();
    if (found == table.end()) {
        if (name) {
            fail("the " + kind + " " + ref + " is not defined", document, child);
        }
        return;
    }
    if (++groupDepth_ > kMaxTypeDepth) {
        fail("the " + kind + " " + ref + " refers to itself", document, child);
    } else if (kind == "group" && maxOccurs > 1 && !repeated && group < 0) {
        addRepeatedGroup(*found->second.node, index, *found->second.document,
                         optional || minOccurs == 0 ? 0 : minOccurs, identifier(name->local));
    } else {
        collect(*found->second.node, index, *found->second.document, group,
                optional || minOccurs == 0, repeated || maxOccurs > 1);
    }
    --groupDepth_;
}

void Schema::addRepeatedGroup(const XmlElement& content, int index, const Document& document,
                              std::size_t minOccurs, const KxCString& member) {
    std::vector<FieldGroup>& groups = types_[static_cast<std::size_t>(index)].groups;
    groups.push_back({FieldGroup::Kind::Choice, minOccurs == 0, true});
    const int group = static_cast<int>(groups.size()) - 1;
    const std::size_t before = types_[static_cast<std::size_t>(index)].fields.size();
    collect(content, index, document, group, true, false);
    gatherAlternatives(index, before, group, minOccurs, member, "(" + content.name + ")",
                       content.at);
}

void Schema::gatherAlternatives(int index, std::size_t before, int group, std::size_t minOccurs,
                                const KxCString& member, const KxCString& typeName, Location at) {
    Field field;
    field.at = at;
    field.repeated = true;
    field.minOccurs = minOccurs;
    field.group = group;
    field.typeName = typeName;
    std::vector<Field>& all = types_[static_cast<std::size_t>(index)].fields;
    for (std::size_t added = before; added < all.size(); ++added) {
        if (all[added].isAttribute) {
            continue;
        }
        Field alternative = all[added];
        alternative.optional = true;
        alternative.repeated = false;
        alternative.group = -1;
        field.alternatives.push_back(std::move(alternative));
    }
    all.erase(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
    if (field.alternatives.empty()) {
        // Only wildcards: what they allow is passed over, so there is nothing to hold.
        return;
    }
    field.member = member;
    const DataType& owner = types_[static_cast<std::size_t>(index)];
    field.cppType = (owner.cppNamespace.empty() ? "::" : "::" + owner.cppNamespace + "::") +
                    owner.className + "::" + upperFirst(field.member) + "Item";
    addField(index, std::move(field));
    Field& made = types_[static_cast<std::size_t>(index)].fields.back();
    if (made.member != member) {
        made.cppType =
            made.cppType.substr(0, made.cppType.rfind("::") + 2) + upperFirst(made.member) + "Item";
    }
}

// Where the head of a substitution group is referred to, any member may
// stand: a repeated reference keeps its items in document order, a single
// one is a choice among them.
void Schema::addSubstitutionField(const XmlElement& element, int index, int group, bool optional,
                                  bool repeated, const std::vector<QName>& candidates) {
    if (candidates.empty()) {
        return;  // an abstract element without members: nothing can stand there
    }
    const std::size_t minOccurs = optional ? 0 : occursValue(element, "minOccurs");
    const bool many = repeated || occursValue(element, "maxOccurs") > 1;
    std::vector<FieldGroup>& groups = types_[static_cast<std::size_t>(index)].groups;
    const bool list = many && group < 0;
    if (group < 0) {
        groups.push_back({FieldGroup::Kind::Choice, minOccurs == 0, list});
        group = static_cast<int>(groups.size()) - 1;
    }
    const std::size_t before = types_[static_cast<std::size_t>(index)].fields.size();
    for (const QName& candidate : candidates) {
        const GlobalElement* global = this->element(candidate);
        if (global == nullptr || !global->use) {
            continue;  // reported with its own declaration
        }
        Field field;
        field.at = element.at;
        field.group = group;
        field.xml = candidate;
        field.typeName = global->typeName.empty() ? candidate.local : global->typeName;
        field.repeated = many && !list;
        field.optional = !field.repeated;
        field.minOccurs = 0;
        field.nillable = global->nillable;
        field.member = identifier(candidate.local);
        holdAs(field, *global->use);
        // Held by pointer: a group has many members, and an object holding
        // each by value would be the size of all of them together.
        field.pointer = field.isClass;
        addField(index, std::move(field));
    }
    if (list) {
        const KxCString head = element.attributeOr("ref");
        gatherAlternatives(index, before, group, minOccurs, identifier(localName(head)),
                           "(substitution group " + head + ")", element.at);
    }
}

}  // namespace kx::gen
