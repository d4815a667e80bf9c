// The schema model's names and types: qualified names, class names, and how
// each simple, complex or element type is held in C++.
#include "generators/schema/Schema.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>
#include <sstream>
#include <string>

#include "generators/runtime/orvopattern.h"
#include "generators/schema/SchemaParts.h"
#include "generators/support/Text.h"
#include "platform/base/KxText.h"
#include "platform/os/KxOs.h"

namespace kx::gen {

using namespace schema_parts;

std::optional<QName> Schema::resolveName(const XmlElement& at, const KxCString& text) const {
    const KxCString prefix = prefixOf(text);
    std::optional<KxCString> ns = at.namespaceOf(prefix);
    if (!ns && !prefix.empty()) {
        return std::nullopt;
    }
    return QName{ns.value_or(KxCString()), localName(text)};
}

std::optional<QName> Schema::nameIn(const Document& document, const XmlElement& at,
                                    const KxCString& text, bool report) const {
    const KxCString trimmed(kx::trimWhitespace(text));
    std::optional<QName> name = resolveName(at, trimmed);
    if (!name) {
        if (report) {
            diagnostics_.error(
                "the prefix " + prefixOf(trimmed) + " of " + trimmed + " is not declared",
                document.source, at.at);
        }
        return std::nullopt;
    }
    if (name->ns.empty() && document.chameleon && prefixOf(trimmed).empty()) {
        name->ns = document.targetNamespace;
    }
    return name;
}

KxCString Schema::uniqueClassName(const KxCString& wanted) {
    const KxCString base = identifier(upperFirst(wanted));
    KxCString name = base;
    for (int suffix = 2; classNames_.count(name) != 0 || name == "Orvo"; ++suffix) {
        name = base + std::to_string(suffix);
    }
    classNames_[name] = static_cast<int>(types_.size());
    return name;
}

int Schema::addDataType(DataType type, const XmlElement* node, const Document* document) {
    types_.push_back(std::move(type));
    typeNodes_.push_back(node);
    typeDocuments_.push_back(document);
    state_.push_back(0);
    return static_cast<int>(types_.size()) - 1;
}

std::vector<QName> Schema::substitutes(const QName& name) const {
    std::vector<QName> found;
    std::set<QName> seen;
    std::function<void(const QName&)> add = [&](const QName& at) {
        if (!seen.insert(at).second) {
            return;  // a group that contains itself
        }
        const GlobalElement* declared = element(at);
        if (declared != nullptr && !declared->abstract) {
            found.push_back(at);
        }
        if (auto members = members_.find(at); members != members_.end()) {
            for (const QName& member : members->second) {
                add(member);
            }
        }
    };
    add(name);
    return found;
}

const GlobalElement* Schema::element(const QName& name) const {
    for (const GlobalElement& element : elements_) {
        if (element.name == name) {
            return &element;
        }
    }
    return nullptr;
}

std::optional<TypeUse> Schema::typeUse(const QName& name) const {
    if (name.ns == kXsdNamespace) {
        std::optional<SimpleKind> kind = builtinType(name.local);
        return kind ? std::optional<TypeUse>(TypeUse{kind->cppType, false, -1, *kind})
                    : std::nullopt;
    }
    if (auto found = classOfType_.find(name); found != classOfType_.end()) {
        const DataType& type = types_[static_cast<std::size_t>(found->second)];
        return TypeUse{
            qualifiedCppName(type.cppNamespace, type.className), true, found->second, {}};
    }
    auto found = simpleUses_.find(name);
    return found != simpleUses_.end() ? found->second : std::nullopt;
}

std::optional<TypeUse> Schema::useOfType(const QName& name, int depth) {
    if (depth > kMaxTypeDepth) {
        return std::nullopt;
    }
    if (name.ns == kXsdNamespace) {
        if (std::optional<SimpleKind> kind = builtinType(name.local)) {
            return TypeUse{kind->cppType, false, -1, *kind};
        }
        return std::nullopt;
    }
    if (auto found = classOfType_.find(name); found != classOfType_.end()) {
        const DataType& type = types_[static_cast<std::size_t>(found->second)];
        return TypeUse{
            qualifiedCppName(type.cppNamespace, type.className), true, found->second, {}};
    }
    if (auto found = simpleTypes_.find(name); found != simpleTypes_.end()) {
        // Worked out once, so that a fault in it is reported once.
        if (auto known = simpleUses_.find(name); known != simpleUses_.end()) {
            return known->second;
        }
        std::optional<TypeUse> use =
            useOfSimpleType(*found->second.node, *found->second.document, name, depth + 1);
        if (depth == 0 || use) {
            simpleUses_[name] = use;
        }
        return use;
    }
    return std::nullopt;
}

// Lists and unions are kept as their text; the items of a list of a type
// other than a string are checked when read.
TypeUse Schema::useOfListOrUnion(const XmlElement& simpleType, const Document& document,
                                 const QName& enumName, int depth) {
    SimpleKind text;
    const XmlElement* list = simpleType.child("list");
    text.xsdType = list != nullptr ? "list" : "union";
    std::optional<TypeUse> item;
    if (list != nullptr) {
        if (const KxCString* itemType = list->attribute("itemType")) {
            if (std::optional<QName> name = nameIn(document, *list, *itemType, true)) {
                item = useOfType(*name, depth + 1);
            }
        } else if (const XmlElement* inner = list->child("simpleType")) {
            item = useOfSimpleType(*inner, document, enumName, depth + 1);
        }
    }
    if (item && !item->isClass && item->cppType != "std::string") {
        text.listItem = item->cppType;
        text.listItemEnum = item->simple.enumIndex;
    }
    if (const XmlElement* union_ = simpleType.child("union"); list == nullptr && union_) {
        addUnionMembers(*union_, document, enumName, depth, text);
    }
    return TypeUse{"std::string", false, -1, text};
}

// The member types of a union, named by memberTypes and given inline (an
// inline enumeration gets a name of its own: the union's and its place).
// A member that is not a simple type leaves the union unchecked.
void Schema::addUnionMembers(const XmlElement& union_, const Document& document,
                             const QName& enumName, int depth, SimpleKind& kind) {
    std::vector<std::pair<std::optional<TypeUse>, KxCString>> members;
    std::istringstream words{std::string(union_.attributeOr("memberTypes"))};
    for (std::string written; words >> written;) {
        const std::optional<QName> name = nameIn(document, union_, written, true);
        members.emplace_back(name ? useOfType(*name, depth + 1) : std::nullopt, written);
    }
    for (const XmlElement& inner : union_.children) {
        if (inner.name == "simpleType") {
            const QName name{enumName.ns,
                             enumName.local + "Member" + std::to_string(members.size() + 1)};
            members.emplace_back(useOfSimpleType(inner, document, name, depth + 1), "(anonymous)");
        }
    }
    for (const auto& [use, written] : members) {
        if (!use || use->isClass) {
            kind.unionMembers.clear();
            kind.unionNames.clear();
            return;
        }
        kind.unionMembers.push_back(use->simple);
        kind.unionMembers.back().cppType = use->cppType;
        kind.unionNames.push_back(written);
    }
}

namespace {

bool isDateOrTime(const KxCString& xsdType) {
    static const std::set<KxCString> kTypes = {"dateTime", "date",      "time",
                                               "duration", "gYear",     "gYearMonth",
                                               "gMonth",   "gMonthDay", "gDay"};
    return kTypes.count(xsdType) != 0;
}

std::optional<std::size_t> facetNumber(const XmlElement& facet) {
    const KxCString value(kx::trimWhitespace(facet.attributeOr("value")));
    if (value.empty() || value.size() > 9 ||
        value.find_first_not_of("0123456789") != KxCString::npos) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(std::stoul(value));
}

}  // namespace

// The facets of a restriction narrow the base's: its own ranges, lengths and
// digits replace the base's, its patterns are checked besides the base's.
void Schema::applyFacets(const XmlElement& restriction, SimpleKind& kind,
                         const Document& document) {
    const std::pair<const char*, std::string XsdRange::*> kRangeFacets[] = {
        {"minInclusive", &XsdRange::minInclusive},
        {"maxInclusive", &XsdRange::maxInclusive},
        {"minExclusive", &XsdRange::minExclusive},
        {"maxExclusive", &XsdRange::maxExclusive}};
    for (const auto& [facet, bound] : kRangeFacets) {
        if (const XmlElement* given = restriction.child(facet)) {
            kind.range.*bound = given->attributeOr("value").substr(0, 64);
            if (isDateOrTime(kind.xsdType)) {
                warn(KxCString("the facet xsd:") + facet + " of a date or time is not checked",
                     document, *given);
            }
        }
    }
    const std::pair<const char*, std::optional<std::size_t> Facets::*> kCounts[] = {
        {"minLength", &Facets::minLength},
        {"maxLength", &Facets::maxLength},
        {"totalDigits", &Facets::totalDigits},
        {"fractionDigits", &Facets::fractionDigits}};
    KxCString alternatives;
    bool allPatternsRead = true;
    bool enumerationWarned = false;
    for (const XmlElement& facet : restriction.children) {
        if (facet.namespaceUri != kXsdNamespace) {
            continue;
        }
        const KxCString& name = facet.name;
        if (name == "pattern") {
            const KxCString expression = facet.attributeOr("value");
            try {
                orvo::Pattern check(expression);
                alternatives += (alternatives.empty() ? "(" : "|(") + expression + ")";
            } catch (const orvo::PatternError& error) {
                // Without one of its alternatives the others would refuse
                // what it allows.
                allPatternsRead = false;
                warn("the pattern " + expression + " is not checked: " + error.what(), document,
                     facet);
            }
        } else if (name == "whiteSpace") {
            kind.facets.whiteSpace = facet.attributeOr("value");
        } else if (name == "length") {
            kind.facets.minLength = kind.facets.maxLength = facetNumber(facet);
        } else if (name == "enumeration" && kind.enumIndex < 0 && !enumerationWarned) {
            enumerationWarned = true;  // once for all its values
            warn("the enumeration of a " + kind.xsdType + " type is not checked", document, facet);
        }
        for (const auto& [facetName, member] : kCounts) {
            if (name == facetName) {
                kind.facets.*member = facetNumber(facet);
            }
        }
    }
    if (!alternatives.empty() && allPatternsRead) {
        kind.facets.patterns.push_back(alternatives);
    }
}

std::optional<TypeUse> Schema::useOfSimpleType(const XmlElement& simpleType,
                                               const Document& document, const QName& enumName,
                                               int depth) {
    if (depth > kMaxTypeDepth) {
        return std::nullopt;
    }
    const XmlElement* restriction = simpleType.child("restriction");
    if (restriction == nullptr) {
        return useOfListOrUnion(simpleType, document, enumName, depth);
    }
    std::optional<TypeUse> base;
    if (const KxCString* baseText = restriction->attribute("base")) {
        std::optional<QName> baseName = nameIn(document, *restriction, *baseText, true);
        if (!baseName) {
            return std::nullopt;
        }
        base = useOfType(*baseName, depth + 1);
        if (!base) {
            fail("the base type " + *baseText + " of the simple type " + enumName.local +
                     " is not defined",
                 document, *restriction);
        }
    } else if (const XmlElement* inner = restriction->child("simpleType")) {
        base = useOfSimpleType(*inner, document, enumName, depth + 1);
    }
    if (!base || base->isClass) {
        return base ? std::nullopt : base;
    }
    if (restriction->child("enumeration") != nullptr && base->simple.cppType == "std::string" &&
        base->simple.enumIndex < 0 && base->simple.xsdType != "list" &&
        base->simple.xsdType != "union") {
        const int index = enumFor(enumName, simpleType, *restriction, document);
        const EnumType& type = enums_[static_cast<std::size_t>(index)];
        TypeUse use;
        use.cppType = qualifiedCppName(type.cppNamespace, type.className);
        use.simple = base->simple;
        use.simple.cppType = use.cppType;
        use.simple.enumIndex = index;
        return use;
    }
    applyFacets(*restriction, base->simple, document);
    return base;
}

int Schema::enumFor(const QName& name, const XmlElement& simpleType, const XmlElement& restriction,
                    const Document& document) {
    if (auto found = enumOfType_.find(name); found != enumOfType_.end()) {
        return found->second;
    }
    EnumType type;
    type.name = name;
    type.className = uniqueClassName(name.local);
    classNames_[type.className] = -1;
    type.cppNamespace = cppNamespaceFor(document.targetNamespace);
    type.documentation = documentationOf(simpleType);
    type.at = restriction.at;
    std::set<KxCString> used;
    for (const XmlElement* value : restriction.childrenNamed("enumeration")) {
        const KxCString text = value->attributeOr("value");
        const KxCString wanted = text.empty() ? KxCString("empty") : identifier(text);
        KxCString enumerator = wanted;
        for (int suffix = 2; used.count(enumerator) != 0; ++suffix) {
            enumerator = wanted + "_" + std::to_string(suffix);
        }
        used.insert(enumerator);
        type.values.push_back({text, enumerator});
    }
    enums_.push_back(std::move(type));
    const int index = static_cast<int>(enums_.size()) - 1;
    enumOfType_[name] = index;
    return index;
}

std::optional<TypeUse> Schema::useOfElement(const XmlElement& element, const Document& document,
                                            const KxCString& nestedClassName, int depth) {
    if (const KxCString* typeText = element.attribute("type")) {
        std::optional<QName> typeName = nameIn(document, element, *typeText, true);
        if (!typeName) {
            return std::nullopt;
        }
        std::optional<TypeUse> use = useOfType(*typeName, depth + 1);
        if (!use) {
            fail("the type " + *typeText + " of the element " + element.attributeOr("name") +
                     " is not defined",
                 document, element);
        }
        return use;
    }
    if (const XmlElement* anonymous = element.child("complexType")) {
        DataType nested;
        nested.name = QName{document.targetNamespace, element.attributeOr("name")};
        nested.className = uniqueClassName(nestedClassName);
        nested.cppNamespace = cppNamespaceFor(document.targetNamespace);
        nested.defaultElement = nested.name;
        nested.documentation = documentationOf(element);
        nested.fromElement = true;
        nested.at = element.at;
        nested.source = document.source;
        const int index = addDataType(std::move(nested), anonymous, &document);
        classNames_[types_[static_cast<std::size_t>(index)].className] = index;
        const DataType& type = types_[static_cast<std::size_t>(index)];
        return TypeUse{qualifiedCppName(type.cppNamespace, type.className), true, index, {}};
    }
    if (const XmlElement* simple = element.child("simpleType")) {
        return useOfSimpleType(*simple, document, QName{document.targetNamespace, nestedClassName},
                               depth + 1);
    }
    SimpleKind any;
    any.xsdType = "anyType";
    return TypeUse{"std::string", false, -1, any};
}

}  // namespace kx::gen
