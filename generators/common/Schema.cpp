#include "generators/common/Schema.h"

#include <functional>
#include <set>

#include "generators/common/Text.h"
#include "platform/base/KxText.h"

namespace kx::gen {

namespace {

// Types nest this deep at most when one simple type restricts another.
constexpr int kMaxTypeDepth = 32;

bool isBuiltinPrefix(const KxCString& prefix) {
    return prefix == "xsd" || prefix == "xs";
}

bool repeatedOccurs(const XmlElement& element) {
    const KxCString maxOccurs = element.attributeOr("maxOccurs", "1");
    return maxOccurs == "unbounded" || (maxOccurs != "0" && maxOccurs != "1");
}

}  // namespace

const char* builtinCppType(const KxCString& name) {
    static const std::map<KxCString, const char*> kTypes = {
        {"boolean", "bool"},
        {"int", "int"},
        {"short", "short"},
        {"byte", "int"},
        {"long", "long long"},
        {"integer", "long long"},
        {"positiveInteger", "long long"},
        {"nonNegativeInteger", "long long"},
        {"negativeInteger", "long long"},
        {"nonPositiveInteger", "long long"},
        {"unsignedInt", "unsigned int"},
        {"unsignedShort", "unsigned short"},
        {"unsignedByte", "unsigned int"},
        {"unsignedLong", "unsigned long long"},
        {"float", "float"},
        {"double", "double"},
        {"decimal", "double"},
    };
    static const std::set<KxCString> kStrings = {"string",       "normalizedString",
                                                 "token",        "NMTOKEN",
                                                 "NMTOKENS",     "Name",
                                                 "NCName",       "ID",
                                                 "IDREF",        "IDREFS",
                                                 "ENTITY",       "ENTITIES",
                                                 "language",     "anyURI",
                                                 "QName",        "NOTATION",
                                                 "date",         "dateTime",
                                                 "time",         "duration",
                                                 "gYear",        "gYearMonth",
                                                 "gMonth",       "gMonthDay",
                                                 "gDay",         "base64Binary",
                                                 "hexBinary",    "anyType",
                                                 "anySimpleType"};
    if (auto found = kTypes.find(name); found != kTypes.end()) {
        return found->second;
    }
    return kStrings.count(name) != 0 ? "std::string" : nullptr;
}

KxCString documentationOf(const XmlElement& element) {
    const XmlElement* annotation = element.child("annotation");
    const XmlElement* documentation =
        annotation != nullptr ? annotation->child("documentation") : element.child("documentation");
    return documentation != nullptr ? KxCString(kx::trimWhitespace(documentation->text))
                                    : KxCString();
}

Schema::Schema(SourceFile source, Diagnostics& diagnostics)
    : source_(std::move(source)), diagnostics_(diagnostics) {}

KxCString Schema::uniqueClassName(const KxCString& wanted) {
    KxCString name = identifier(wanted);
    for (int suffix = 2; classNames_.count(name) != 0; ++suffix) {
        name = identifier(wanted) + std::to_string(suffix);
    }
    return name;
}

void Schema::addDataType(DataType type) {
    classNames_[type.className] = types_.size();
    types_.push_back(std::move(type));
    state_.push_back(0);
}

void Schema::add(const XmlElement& schema) {
    if (targetNamespace_.empty()) {
        targetNamespace_ = schema.attributeOr("targetNamespace");
    }
    for (const XmlElement& child : schema.children) {
        const KxCString name = child.attributeOr("name");
        if (child.name == "complexType") {
            if (name.empty()) {
                diagnostics_.warning("a global complexType has no name and is passed over", source_,
                                     child.at);
                continue;
            }
            if (complexTypes_.count(name) != 0) {
                diagnostics_.error("the complex type " + name + " is defined twice", source_,
                                   child.at);
                continue;
            }
            DataType type;
            type.xmlName = name;
            type.className = uniqueClassName(name);
            type.defaultElement = name;
            type.documentation = documentationOf(child);
            type.at = child.at;
            type.node = &child;
            complexTypes_[name] = types_.size();
            addDataType(std::move(type));
        } else if (child.name == "simpleType" && !name.empty()) {
            simpleTypes_[name] = &child;
        } else if (child.name == "element" && !name.empty()) {
            GlobalElement element{name, child.attributeOr("type"), {}, child.at};
            if (const XmlElement* anonymous = child.child("complexType");
                element.typeName.empty() && anonymous != nullptr) {
                DataType type;
                type.xmlName = name;
                type.className = uniqueClassName(name);
                type.defaultElement = name;
                type.documentation = documentationOf(child);
                type.fromElement = true;
                type.at = child.at;
                type.node = anonymous;
                element.anonymousClass = type.className;
                addDataType(std::move(type));
            } else if (const XmlElement* simple = child.child("simpleType");
                       element.typeName.empty() && simple != nullptr) {
                element.typeName = simple->child("restriction") != nullptr
                                       ? simple->child("restriction")->attributeOr("base")
                                       : KxCString("xsd:string");
            }
            elements_.push_back(std::move(element));
        }
    }
}

std::optional<TypeUse> Schema::simpleTypeUse(const XmlElement& simpleType, int depth) const {
    if (const XmlElement* restriction = simpleType.child("restriction")) {
        if (const KxCString* base = restriction->attribute("base")) {
            return typeUse(*base, depth + 1);
        }
        if (const XmlElement* inner = restriction->child("simpleType")) {
            return simpleTypeUse(*inner, depth + 1);
        }
    }
    // Lists and unions are kept as their text.
    return TypeUse{"std::string", false};
}

std::optional<TypeUse> Schema::typeUse(const KxCString& qname) const {
    return typeUse(qname, 0);
}

std::optional<TypeUse> Schema::typeUse(const KxCString& qname, int depth) const {
    if (depth > kMaxTypeDepth) {
        return std::nullopt;
    }
    const KxCString local = localName(qname);
    const char* builtin = builtinCppType(local);
    if (builtin != nullptr && isBuiltinPrefix(prefixOf(qname))) {
        return TypeUse{builtin, false};
    }
    if (auto found = complexTypes_.find(local); found != complexTypes_.end()) {
        return TypeUse{types_[found->second].className, true};
    }
    if (auto found = simpleTypes_.find(local); found != simpleTypes_.end()) {
        return simpleTypeUse(*found->second, depth);
    }
    if (builtin != nullptr) {
        return TypeUse{builtin, false};
    }
    return std::nullopt;
}

std::optional<TypeUse> Schema::elementUse(const KxCString& qname) const {
    const KxCString local = localName(qname);
    for (const GlobalElement& element : elements_) {
        if (element.name != local) {
            continue;
        }
        if (!element.anonymousClass.empty()) {
            return TypeUse{element.anonymousClass, true};
        }
        if (element.typeName.empty()) {
            return TypeUse{"std::string", false};
        }
        return typeUse(element.typeName);
    }
    return std::nullopt;
}

void Schema::addField(std::size_t index, Field field) {
    std::vector<Field>& fields = types_[index].fields;
    const KxCString wanted = field.member;
    for (int suffix = 2;; ++suffix) {
        bool taken = false;
        for (const Field& other : fields) {
            taken = taken || other.member == field.member;
        }
        if (!taken) {
            break;
        }
        field.member = wanted + std::to_string(suffix);
    }
    fields.push_back(std::move(field));
}

void Schema::addElementField(const XmlElement& element, std::size_t index, bool inChoice) {
    Field field;
    field.at = element.at;
    field.optional = inChoice || element.attributeOr("minOccurs", "1") == "0";
    field.repeated = repeatedOccurs(element);
    std::optional<TypeUse> use;
    if (const KxCString* ref = element.attribute("ref")) {
        field.xmlName = localName(*ref);
        field.typeName = *ref;
        use = elementUse(*ref);
        if (!use) {
            diagnostics_.error("the element " + *ref + " referred to in the type " +
                                   types_[index].xmlName + " is not defined",
                               source_, element.at);
            return;
        }
    } else {
        field.xmlName = element.attributeOr("name");
        if (field.xmlName.empty()) {
            diagnostics_.warning("an element in the type " + types_[index].xmlName +
                                     " has neither name nor ref and is passed over",
                                 source_, element.at);
            return;
        }
        if (const KxCString* type = element.attribute("type")) {
            field.typeName = *type;
            use = typeUse(*type);
            if (!use) {
                diagnostics_.error("the type " + *type + " of the element " + field.xmlName +
                                       " in the type " + types_[index].xmlName + " is not defined",
                                   source_, element.at);
                return;
            }
        } else if (const XmlElement* anonymous = element.child("complexType")) {
            DataType nested;
            nested.xmlName = field.xmlName;
            nested.className =
                uniqueClassName(types_[index].className + upperFirst(identifier(field.xmlName)));
            nested.defaultElement = field.xmlName;
            nested.documentation = documentationOf(element);
            nested.fromElement = true;
            nested.at = element.at;
            nested.node = anonymous;
            field.typeName = "(anonymous)";
            use = TypeUse{nested.className, true};
            addDataType(std::move(nested));
        } else if (const XmlElement* simple = element.child("simpleType")) {
            field.typeName = "(anonymous simple type)";
            use = simpleTypeUse(*simple, 0);
        } else {
            field.typeName = "xsd:anyType";
            use = TypeUse{"std::string", false};
        }
    }
    if (!use) {
        diagnostics_.error("the type of the element " + field.xmlName + " is not defined", source_,
                           element.at);
        return;
    }
    field.member = identifier(field.xmlName);
    field.cppType = use->cppType;
    field.isClass = use->isClass;
    addField(index, std::move(field));
}

void Schema::addAttributeField(const XmlElement& attribute, std::size_t index) {
    Field field;
    field.at = attribute.at;
    field.isAttribute = true;
    field.optional = attribute.attributeOr("use") != "required";
    field.xmlName = attribute.attribute("ref") != nullptr ? localName(*attribute.attribute("ref"))
                                                          : attribute.attributeOr("name");
    if (field.xmlName.empty()) {
        return;
    }
    std::optional<TypeUse> use = TypeUse{"std::string", false};
    field.typeName = attribute.attributeOr("type", "xsd:string");
    if (const KxCString* type = attribute.attribute("type")) {
        use = typeUse(*type);
        if (!use || use->isClass) {
            diagnostics_.error("the type " + *type + " of the attribute " + field.xmlName +
                                   " in the type " + types_[index].xmlName +
                                   (use ? " is not a simple type" : " is not defined"),
                               source_, attribute.at);
            return;
        }
    } else if (const XmlElement* simple = attribute.child("simpleType")) {
        use = simpleTypeUse(*simple, 0);
    }
    field.cppType = use->cppType;
    if (field.cppType == "std::string") {
        // An attribute with a default or fixed value always has one.
        field.defaultValue = attribute.attributeOr("fixed", attribute.attributeOr("default"));
        field.optional = field.optional && field.defaultValue.empty();
    }
    field.member = identifier(field.xmlName);
    addField(index, std::move(field));
}

void Schema::extend(const XmlElement& extension, std::size_t index, bool simpleContent) {
    const KxCString base = extension.attributeOr("base");
    if (!base.empty()) {
        types_[index].baseName = base;
        const auto baseType = complexTypes_.find(localName(base));
        const bool builtinFirst =
            isBuiltinPrefix(prefixOf(base)) && builtinCppType(localName(base)) != nullptr;
        if (baseType != complexTypes_.end() && !builtinFirst) {
            if (state_[baseType->second] == 1) {
                diagnostics_.error(
                    "the type " + types_[index].xmlName + " is derived from itself through " + base,
                    source_, extension.at);
            } else {
                resolveType(baseType->second);
                for (const Field& field : types_[baseType->second].fields) {
                    addField(index, field);
                }
            }
        } else if (simpleContent) {
            std::optional<TypeUse> use = typeUse(base);
            if (!use) {
                diagnostics_.error("the base type " + base + " of the type " +
                                       types_[index].xmlName + " is not defined",
                                   source_, extension.at);
            } else {
                Field text;
                text.isText = true;
                text.member = "value";
                text.typeName = base;
                text.cppType = use->cppType;
                text.at = extension.at;
                addField(index, std::move(text));
            }
        } else if (!typeUse(base)) {
            diagnostics_.error("the base type " + base + " of the type " + types_[index].xmlName +
                                   " is not defined",
                               source_, extension.at);
        }
    }
    collect(extension, index, false);
}

void Schema::collect(const XmlElement& content, std::size_t index, bool inChoice) {
    for (const XmlElement& child : content.children) {
        if (child.name == "sequence" || child.name == "all") {
            collect(child, index, inChoice);
        } else if (child.name == "choice") {
            collect(child, index, true);
        } else if (child.name == "element") {
            addElementField(child, index, inChoice);
        } else if (child.name == "attribute") {
            addAttributeField(child, index);
        } else if (child.name == "complexContent" || child.name == "simpleContent") {
            for (const XmlElement& derivation : child.children) {
                if (derivation.name == "extension" || derivation.name == "restriction") {
                    extend(derivation, index, child.name == "simpleContent");
                }
            }
        } else if (child.name == "group" || child.name == "attributeGroup") {
            diagnostics_.warning("the " + child.name + " reference in the type " +
                                     types_[index].xmlName +
                                     " is not supported; its fields are left out",
                                 source_, child.at);
        }
    }
}

void Schema::resolveType(std::size_t index) {
    if (state_[index] != 0) {
        return;
    }
    state_[index] = 1;
    collect(*types_[index].node, index, false);
    state_[index] = 2;
}

void Schema::markCycles() {
    // A depth-first walk over the classes that hold others by value; a field
    // leading back to a class still being walked closes a cycle.
    std::vector<int> mark(types_.size(), 0);
    std::function<void(std::size_t)> visit = [&](std::size_t index) {
        mark[index] = 1;
        for (Field& field : types_[index].fields) {
            if (!field.isClass) {
                continue;
            }
            const std::size_t target = classNames_.at(field.cppType);
            if (mark[target] == 1) {
                field.pointer = true;
            } else if (mark[target] == 0) {
                visit(target);
            }
        }
        mark[index] = 2;
    };
    for (std::size_t index = 0; index < types_.size(); ++index) {
        if (mark[index] == 0) {
            visit(index);
        }
    }
}

void Schema::resolve() {
    // Resolving may add the classes of nested anonymous types at the end.
    for (std::size_t index = 0; index < types_.size(); ++index) {
        resolveType(index);
    }
    for (const GlobalElement& element : elements_) {
        if (!element.typeName.empty() && !typeUse(element.typeName)) {
            diagnostics_.error("the type " + element.typeName + " of the element " + element.name +
                                   " is not defined",
                               source_, element.at);
        }
        if (element.typeName.empty()) {
            continue;
        }
        // toXml writes a named type under the first element declared with it.
        if (auto found = complexTypes_.find(localName(element.typeName));
            found != complexTypes_.end() &&
            types_[found->second].defaultElement == types_[found->second].xmlName) {
            types_[found->second].defaultElement = element.name;
        }
    }
    markCycles();
}

}  // namespace kx::gen
