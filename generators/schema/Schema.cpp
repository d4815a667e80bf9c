#include "generators/schema/Schema.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>

#include "generators/emit/ProjectFiles.h"
#include "generators/support/Text.h"
#include "platform/base/KxText.h"
#include "platform/os/KxOs.h"

namespace kx::gen {

namespace {

// Types nest this deep at most when one simple type restricts another, and
// groups this deep when they refer to each other.
constexpr int kMaxTypeDepth = 32;
// The most schema files one run reads through include and import.
constexpr std::size_t kMaxSchemaFiles = 1000;
// The most schema text one run reads, all files together: the parsed trees
// stay in memory for the whole run.
constexpr std::size_t kMaxSchemaBytes = 64 * 1024 * 1024;

constexpr const char* kXmlNamespace = "http://www.w3.org/XML/1998/namespace";

// minOccurs or maxOccurs as a number; "unbounded" is the largest.
std::size_t occursValue(const XmlElement& element, const char* attribute) {
    const KxCString text = element.attributeOr(attribute, "1");
    if (text == "unbounded") {
        return static_cast<std::size_t>(-1);
    }
    std::size_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return 1;
        }
        value = value > 100000000 ? value : value * 10 + static_cast<std::size_t>(c - '0');
    }
    return value;
}

bool isTrueAttribute(const XmlElement& element, const char* attribute) {
    const KxCString value(kx::trimWhitespace(element.attributeOr(attribute)));
    return value == "true" || value == "1";
}

// The directory part of a file name as given (empty when it has none),
// with '/' as separator.
KxCString directoryOf(const KxCString& name) {
    KxCString slashed = name;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    const auto slash = slashed.rfind('/');
    return slash == KxCString::npos ? KxCString() : slashed.substr(0, slash + 1);
}

KxCString qualifiedCppName(const KxCString& cppNamespace, const KxCString& className) {
    return cppNamespace.empty() ? "::" + className : "::" + cppNamespace + "::" + className;
}

}  // namespace

std::optional<SimpleKind> builtinType(const KxCString& name) {
    static const std::map<KxCString, const char*> kTypes = {
        {"boolean", "bool"},
        {"byte", "std::int8_t"},
        {"short", "std::int16_t"},
        {"int", "std::int32_t"},
        {"long", "std::int64_t"},
        {"unsignedByte", "std::uint8_t"},
        {"unsignedShort", "std::uint16_t"},
        {"unsignedInt", "std::uint32_t"},
        {"unsignedLong", "std::uint64_t"},
        {"integer", "orvo::Integer"},
        {"nonNegativeInteger", "orvo::NonNegativeInteger"},
        {"positiveInteger", "orvo::PositiveInteger"},
        {"nonPositiveInteger", "orvo::NonPositiveInteger"},
        {"negativeInteger", "orvo::NegativeInteger"},
        {"float", "float"},
        {"double", "double"},
        {"decimal", "orvo::Decimal"},
        {"dateTime", "orvo::DateTime"},
        {"date", "orvo::Date"},
        {"time", "orvo::Time"},
        {"duration", "orvo::Duration"},
        {"base64Binary", "orvo::Base64Binary"},
        {"hexBinary", "orvo::HexBinary"},
    };
    static const std::set<KxCString> kStrings = {"string",   "normalizedString",
                                                 "token",    "NMTOKEN",
                                                 "NMTOKENS", "Name",
                                                 "NCName",   "ID",
                                                 "IDREF",    "IDREFS",
                                                 "ENTITY",   "ENTITIES",
                                                 "language", "anyURI",
                                                 "QName",    "NOTATION",
                                                 "gYear",    "gYearMonth",
                                                 "gMonth",   "gMonthDay",
                                                 "gDay",     "anySimpleType",
                                                 "anyType"};
    if (auto found = kTypes.find(name); found != kTypes.end()) {
        return SimpleKind{found->second, name, -1, {}};
    }
    if (kStrings.count(name) != 0) {
        return SimpleKind{"std::string", name, -1, {}};
    }
    return std::nullopt;
}

KxCString cppNamespaceFor(const KxCString& targetNamespace) {
    std::vector<KxCString> words;
    KxCString word;
    const auto flush = [&] {
        if (!word.empty()) {
            words.push_back(word);
            word.clear();
        }
    };
    for (char c : targetNamespace) {
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
            word += c;
        } else if (c >= 'A' && c <= 'Z') {
            word += static_cast<char>(c - 'A' + 'a');
        } else {
            flush();
        }
    }
    flush();
    if (!words.empty() &&
        (words.front() == "http" || words.front() == "https" || words.front() == "urn")) {
        words.erase(words.begin());
    }
    if (!words.empty() && words.front() == "www") {
        words.erase(words.begin());
    }
    KxCString joined;
    for (const KxCString& part : words) {
        joined += (joined.empty() ? "" : "_") + part;
    }
    return joined.empty() ? (targetNamespace.empty() ? KxCString() : KxCString("ns"))
                          : identifier(joined);
}

KxCString documentationOf(const XmlElement& element) {
    const XmlElement* annotation = element.child("annotation");
    const XmlElement* documentation =
        annotation != nullptr ? annotation->child("documentation") : element.child("documentation");
    return documentation != nullptr ? KxCString(kx::trimWhitespace(documentation->text))
                                    : KxCString();
}

// One schema element and the settings that apply inside it.
struct Schema::Document {
    const XmlElement* schema = nullptr;
    SourceFile source;
    KxCString targetNamespace;
    bool chameleon = false;  // an include without a target namespace takes the includer's
    bool elementsQualified = false;
    bool attributesQualified = false;
};

Schema::Schema(Diagnostics& diagnostics) : diagnostics_(diagnostics) {}

Schema::~Schema() = default;

void Schema::warn(const KxCString& message, const Document& document, const XmlElement& at) {
    diagnostics_.warning(message, document.source, at.at);
}

void Schema::fail(const KxCString& message, const Document& document, const XmlElement& at) {
    diagnostics_.error(message, document.source, at.at);
}

KxCString Schema::preferredPrefix(const KxCString& ns) const {
    auto found = prefixes_.find(ns);
    return found == prefixes_.end() ? KxCString() : found->second;
}

void Schema::load(const SourceFile& file) {
    loadFile(file, {}, nullptr, {});
}

// from is the file whose include or import names this one, at its line.
bool Schema::markLoaded(const KxCString& path) {
    kx::os::FileStatus status;
    if (kx::os::fileStatus(path, status)) {
        return loadedFiles_.emplace(status.device, status.inode).second;
    }
    return loadedPaths_.insert(std::filesystem::path(path.c_str()).lexically_normal().string())
        .second;
}

// from is the file whose include or import names this one, at its line.
void Schema::loadFile(const SourceFile& file, const KxCString& chameleonNamespace,
                      const SourceFile* from, Location at) {
    if (!markLoaded(file.path)) {
        return;  // read already: includes that form a cycle end here
    }
    const SourceFile& cited = from != nullptr ? *from : file;
    if (++loadedCount_ > kMaxSchemaFiles) {
        diagnostics_.error("more than " + std::to_string(kMaxSchemaFiles) +
                               " schema files are included or imported; " + file.name +
                               " is not read",
                           cited, at);
        return;
    }
    KxCString text;
    Diagnostics reading;
    if (!readInputFile(file, "schema file", text, reading)) {
        for (const Diagnostic& problem : reading.all()) {
            if (from != nullptr) {
                diagnostics_.error(problem.message, *from, at);
            } else {
                diagnostics_.error(problem.message, file);
            }
        }
        return;
    }
    if (text.size() > kMaxSchemaBytes - bytesRead_) {
        diagnostics_.error("the schema files of this run come to more than " +
                               std::to_string(kMaxSchemaBytes / (1024 * 1024)) + " MB; " +
                               file.name + " is not read",
                           cited, at);
        return;
    }
    bytesRead_ += text.size();
    XmlDocument& document = files_.emplace_back(parseXmlDocument(text));
    if (document.fault) {
        diagnostics_.error(document.fault->message, file, document.fault->at);
        return;
    }
    const XmlElement& root = *document.root;
    if (root.name != "schema" || root.namespaceUri != kXsdNamespace) {
        diagnostics_.error("not an XML Schema: the root element is <" + root.name +
                               "> in the namespace \"" + root.namespaceUri + "\"",
                           file, root.at);
        return;
    }
    addSchema(root, file, chameleonNamespace);
}

void Schema::add(const XmlElement& schema, const SourceFile& source) {
    if (!source.path.empty()) {
        markLoaded(source.path);
    }
    addSchema(schema, source, {});
}

void Schema::addSchema(const XmlElement& schema, const SourceFile& source,
                       const KxCString& chameleonNamespace) {
    Document& document = documents_.emplace_back();
    document.schema = &schema;
    document.source = source;
    if (const KxCString* target = schema.attribute("targetNamespace")) {
        document.targetNamespace = *target;
    } else {
        document.targetNamespace = chameleonNamespace;
        document.chameleon = !chameleonNamespace.empty();
    }
    document.elementsQualified = schema.attributeOr("elementFormDefault") == "qualified";
    document.attributesQualified = schema.attributeOr("attributeFormDefault") == "qualified";
    const KxCString& target = document.targetNamespace;
    if (!target.empty() && std::find(targetNamespaces_.begin(), targetNamespaces_.end(), target) ==
                               targetNamespaces_.end()) {
        targetNamespaces_.push_back(target);
    }
    if (schema.scope != nullptr) {
        for (const auto& [prefix, uri] : *schema.scope) {
            if (!prefix.empty() && prefixes_.count(uri) == 0 && uri != kXsdNamespace) {
                prefixes_[uri] = prefix;
            }
        }
    }

    const auto declare = [&](std::map<QName, Declaration>& table, const XmlElement& child,
                             const char* what) {
        const KxCString name = child.attributeOr("name");
        if (name.empty()) {
            warn("a global " + child.name + " has no name and is passed over", document, child);
            return;
        }
        const QName qname{target, name};
        if (!table.emplace(qname, Declaration{&child, &document}).second) {
            fail(KxCString("the ") + what + " " + qname.shown() + " is defined twice", document,
                 child);
        }
    };
    for (const XmlElement& child : schema.children) {
        if (child.namespaceUri != kXsdNamespace) {
            continue;
        }
        if (child.name == "include" || child.name == "import") {
            const bool include = child.name == "include";
            const KxCString location(kx::trimWhitespace(child.attributeOr("schemaLocation")));
            const KxCString imported = child.attributeOr("namespace");
            if (location.empty()) {
                if (include) {
                    fail("the include names no schemaLocation", document, child);
                } else if (imported != kXmlNamespace && imported != kXsdNamespace) {
                    pendingImports_.push_back({imported, &document, &child});
                }
                continue;
            }
            if (location.find("://") != KxCString::npos) {
                fail("the schema " + location +
                         " is named by a URL; only local files are read (name a copy beside "
                         "this file instead)",
                     document, child);
                continue;
            }
            KxCString named = location;
            std::replace(named.begin(), named.end(), '\\', '/');
            if (!isAbsolutePath(named)) {
                named = directoryOf(source.name) + named;
            }
            const std::size_t before = documents_.size();
            loadFile(SourceFile::named(named), include ? target : KxCString(), &source, child.at);
            // The file read declares the namespace the include or import expects.
            if (documents_.size() > before) {
                const Document& added = documents_[before];
                const KxCString expected = include ? target : imported;
                if (added.targetNamespace != expected && !(include && added.chameleon)) {
                    fail("the schema " + named + " has the target namespace \"" +
                             added.targetNamespace + "\", not \"" + expected + "\" as the " +
                             child.name + " expects",
                         document, child);
                }
            }
        } else if (child.name == "complexType") {
            declare(complexTypes_, child, "complex type");
            order_.push_back({'c', {target, child.attributeOr("name")}});
        } else if (child.name == "simpleType") {
            declare(simpleTypes_, child, "simple type");
        } else if (child.name == "element") {
            declare(elementDeclarations_, child, "element");
            order_.push_back({'e', {target, child.attributeOr("name")}});
        } else if (child.name == "attribute") {
            declare(attributes_, child, "attribute");
        } else if (child.name == "group") {
            declare(groups_, child, "group");
        } else if (child.name == "attributeGroup") {
            declare(attributeGroups_, child, "attribute group");
        } else if (child.name == "redefine" || child.name == "override") {
            warn("xsd:" + child.name + " is not supported; the schema it names is not read",
                 document, child);
        } else if (child.name != "annotation" && child.name != "notation") {
            warn(
                "xsd:" + child.name + " at the top of a schema is not supported and is passed over",
                document, child);
        }
    }
}

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

std::optional<TypeUse> Schema::useOfSimpleType(const XmlElement& simpleType,
                                               const Document& document, const QName& enumName,
                                               int depth) {
    if (depth > kMaxTypeDepth) {
        return std::nullopt;
    }
    const XmlElement* restriction = simpleType.child("restriction");
    if (restriction == nullptr) {
        // Lists and unions are kept as their text; the items of a list of a
        // type other than a string are checked when read.
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
        }
        return TypeUse{"std::string", false, -1, text};
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
    field.repeated = repeated || maxOccurs > 1;
    field.optional = !field.repeated && (optional || minOccurs == 0);
    field.minOccurs = optional ? 0 : minOccurs;
    field.nillable = isTrueAttribute(element, "nillable");
    std::optional<TypeUse> use;
    if (const KxCString* ref = element.attribute("ref")) {
        std::optional<QName> name = nameIn(document, element, *ref, true);
        if (!name) {
            return;
        }
        const GlobalElement* global = this->element(*name);
        if (global == nullptr) {
            fail(
                "the element " + *ref + " referred to in the type " + ownerName + " is not defined",
                document, element);
            return;
        }
        if (!global->use) {
            return;  // its own declaration is reported
        }
        field.xml = *name;
        field.typeName = *ref;
        field.nillable = field.nillable || global->nillable;
        use = global->use;
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
    if (!use->isClass && use->simple.xsdType == "anyType") {
        warn("the element " + field.xml.local + " in the type " + ownerName +
                 " has the type xsd:anyType: its text is kept, child elements in it are not",
             document, element);
    }
    if (element.attribute("substitutionGroup") != nullptr) {
        warn("substitution groups are not supported", document, element);
    }
    field.member = identifier(field.xml.local);
    field.cppType = use->cppType;
    field.isClass = use->isClass;
    field.classIndex = use->classIndex;
    field.simple = use->simple;
    addField(index, std::move(field));
}

void Schema::addAttributeField(const XmlElement& attribute, int index, const Document& document) {
    const KxCString ownerName = types_[static_cast<std::size_t>(index)].name.local;
    const KxCString ownerClass = types_[static_cast<std::size_t>(index)].className;
    if (attribute.attributeOr("use") == "prohibited") {
        return;
    }
    Field field;
    field.at = attribute.at;
    field.isAttribute = true;
    field.optional = attribute.attributeOr("use") != "required";
    const XmlElement* declaration = &attribute;
    const Document* declared = &document;
    if (const KxCString* ref = attribute.attribute("ref")) {
        std::optional<QName> name = nameIn(document, attribute, *ref, true);
        if (!name) {
            return;
        }
        if (name->ns == kXmlNamespace) {
            warn("the attribute " + *ref + " of the XML namespace is not kept", document,
                 attribute);
            return;
        }
        auto found = attributes_.find(*name);
        if (found == attributes_.end()) {
            fail("the attribute " + *ref + " referred to in the type " + ownerName +
                     " is not defined",
                 document, attribute);
            return;
        }
        field.xml = *name;
        declaration = found->second.node;
        declared = found->second.document;
    } else {
        const KxCString name = attribute.attributeOr("name");
        if (name.empty()) {
            return;
        }
        const KxCString form = attribute.attributeOr("form");
        const bool qualified = form.empty() ? document.attributesQualified : form == "qualified";
        field.xml = QName{qualified ? document.targetNamespace : KxCString(), name};
    }
    std::optional<TypeUse> use = TypeUse{"std::string", false, -1, {}};
    field.typeName = declaration->attributeOr("type", "xsd:string");
    if (const KxCString* type = declaration->attribute("type")) {
        std::optional<QName> typeName = nameIn(*declared, *declaration, *type, true);
        use = typeName ? useOfType(*typeName, 0) : std::nullopt;
        if (!use || use->isClass) {
            fail("the type " + *type + " of the attribute " + field.xml.local + " in the type " +
                     ownerName + (use ? " is not a simple type" : " is not defined"),
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
                    // A restriction of simple content keeps the base's text and
                    // attributes as fields of its own.
                    for (int from = baseIndex; from >= 0;
                         from = types_[static_cast<std::size_t>(from)].baseIndex) {
                        for (const Field& field : types_[static_cast<std::size_t>(from)].fields) {
                            if (field.isText) {
                                addField(index, field);
                            }
                        }
                    }
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
}

void Schema::collect(const XmlElement& content, int index, const Document& document, int group,
                     bool optional, bool repeated) {
    for (const XmlElement& child : content.children) {
        if (child.namespaceUri != kXsdNamespace) {
            continue;
        }
        const std::size_t minOccurs = occursValue(child, "minOccurs");
        const std::size_t maxOccurs = occursValue(child, "maxOccurs");
        const KxCString& kind = child.name;
        if (kind == "sequence") {
            if (maxOccurs > 1 && !repeated) {
                warn(
                    "a repeated sequence is read as repeated fields; the order of its repeats is "
                    "not kept",
                    document, child);
            }
            collect(child, index, document, group, optional || minOccurs == 0,
                    repeated || maxOccurs > 1);
        } else if (kind == "choice" || kind == "all") {
            const bool choice = kind == "choice";
            if (group >= 0) {
                warn("a " + kind + " inside a choice or all is read as optional fields", document,
                     child);
                collect(child, index, document, group, true, repeated || maxOccurs > 1);
                continue;
            }
            std::vector<FieldGroup>& groups = types_[static_cast<std::size_t>(index)].groups;
            groups.push_back({choice ? FieldGroup::Kind::Choice : FieldGroup::Kind::All,
                              optional || minOccurs == 0, repeated || maxOccurs > 1});
            const int group = static_cast<int>(groups.size()) - 1;
            if (choice && (repeated || maxOccurs > 1)) {
                addRepeatedChoice(child, index, document, group,
                                  optional || minOccurs == 0 ? 0 : minOccurs);
                continue;
            }
            collect(child, index, document, group, choice || optional || minOccurs == 0,
                    repeated || maxOccurs > 1);
        } else if (kind == "element") {
            addElementField(child, index, document, group, optional, repeated);
        } else if (kind == "attribute") {
            addAttributeField(child, index, document);
        } else if (kind == "group" || kind == "attributeGroup") {
            const KxCString ref = child.attributeOr("ref");
            std::optional<QName> name = nameIn(document, child, ref, true);
            auto& table = kind == "group" ? groups_ : attributeGroups_;
            auto found = name ? table.find(*name) : table.end();
            if (found == table.end()) {
                if (name) {
                    fail("the " + kind + " " + ref + " is not defined", document, child);
                }
                continue;
            }
            if (++groupDepth_ > kMaxTypeDepth) {
                fail("the " + kind + " " + ref + " refers to itself", document, child);
            } else {
                collect(*found->second.node, index, *found->second.document, group,
                        optional || minOccurs == 0, repeated || maxOccurs > 1);
            }
            --groupDepth_;
        } else if (kind == "complexContent" || kind == "simpleContent") {
            if (isTrueAttribute(child, "mixed")) {
                warn("mixed content: the text between child elements is not kept", document, child);
            }
            for (const XmlElement& derivation : child.children) {
                if (derivation.name == "extension" || derivation.name == "restriction") {
                    derive(derivation, index, document, kind == "simpleContent");
                }
            }
        } else if (kind == "any") {
            types_[static_cast<std::size_t>(index)].acceptsAny = true;
            warn("xsd:any: the elements it allows are passed over when read and are not kept",
                 document, child);
        } else if (kind == "anyAttribute") {
            warn("xsd:anyAttribute: the attributes it allows are not kept", document, child);
        } else if (kind != "annotation") {
            warn("xsd:" + kind + " is not supported here and is passed over", document, child);
        }
    }
}

// A repeated choice keeps the order of its alternatives: one field holding
// a list of items, each with one alternative set.
void Schema::addRepeatedChoice(const XmlElement& choice, int index, const Document& document,
                               int group, std::size_t minOccurs) {
    const std::size_t before = types_[static_cast<std::size_t>(index)].fields.size();
    collect(choice, index, document, group, true, false);
    Field field;
    field.at = choice.at;
    field.repeated = true;
    field.minOccurs = minOccurs;
    field.group = group;
    field.typeName = "(choice)";
    std::vector<Field>& all = types_[static_cast<std::size_t>(index)].fields;
    for (std::size_t at = before; at < all.size(); ++at) {
        if (all[at].isAttribute) {
            continue;
        }
        Field alternative = all[at];
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
    field.member = "choice";
    const DataType& owner = types_[static_cast<std::size_t>(index)];
    field.cppType = (owner.cppNamespace.empty() ? "::" : "::" + owner.cppNamespace + "::") +
                    owner.className + "::" + upperFirst(field.member) + "Item";
    addField(index, std::move(field));
    Field& added = types_[static_cast<std::size_t>(index)].fields.back();
    if (added.member != "choice") {
        added.cppType = added.cppType.substr(0, added.cppType.rfind("::") + 2) +
                        upperFirst(added.member) + "Item";
    }
}

void Schema::resolveType(int index) {
    const auto at = static_cast<std::size_t>(index);
    if (state_[at] != 0) {
        return;
    }
    state_[at] = 1;
    const XmlElement& node = *typeNodes_[at];
    const Document& document = *typeDocuments_[at];
    if (isTrueAttribute(node, "mixed")) {
        warn("mixed content: the text between child elements is not kept", document, node);
    }
    collect(node, index, document, -1, false, false);
    state_[at] = 2;
}

void Schema::markCycles() {
    // A depth-first walk over the classes that hold others by value (and
    // their bases); a field leading back to a class still being walked
    // closes a cycle.
    std::vector<int> mark(types_.size(), 0);
    std::function<void(std::size_t)> visit = [&](std::size_t index) {
        mark[index] = 1;
        if (const int base = types_[index].baseIndex;
            base >= 0 && mark[static_cast<std::size_t>(base)] == 0) {
            visit(static_cast<std::size_t>(base));
        }
        const auto follow = [&](Field& field) {
            if (!field.isClass) {
                return;
            }
            const auto target = static_cast<std::size_t>(field.classIndex);
            if (mark[target] == 1) {
                field.pointer = true;
            } else if (mark[target] == 0) {
                visit(target);
            }
        };
        for (Field& field : types_[index].fields) {
            follow(field);
            for (Field& alternative : field.alternatives) {
                follow(alternative);
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
    if (resolved_) {
        return;
    }
    resolved_ = true;
    for (const PendingImport& import : pendingImports_) {
        if (std::find(targetNamespaces_.begin(), targetNamespaces_.end(), import.ns) ==
            targetNamespaces_.end()) {
            warn("the import of the namespace \"" + import.ns +
                     "\" names no schemaLocation, and no schema read defines it",
                 *import.document, *import.at);
        }
    }
    // A class per complex type, then per global element with an anonymous
    // complex type, in the order of the documents.
    for (const auto& [kind, name] : order_) {
        if (kind != 'c' || name.local.empty() || classOfType_.count(name) != 0) {
            continue;
        }
        const Declaration& declaration = complexTypes_.at(name);
        DataType type;
        type.name = name;
        type.className = uniqueClassName(name.local);
        type.cppNamespace = cppNamespaceFor(name.ns);
        type.defaultElement = name;
        type.documentation = documentationOf(*declaration.node);
        type.at = declaration.node->at;
        type.source = declaration.document->source;
        const int index = addDataType(std::move(type), declaration.node, declaration.document);
        classNames_[types_[static_cast<std::size_t>(index)].className] = index;
        classOfType_[name] = index;
    }
    std::set<QName> seen;
    for (const auto& [kind, name] : order_) {
        if (kind != 'e' || name.local.empty() || !seen.insert(name).second) {
            continue;
        }
        const Declaration& declaration = elementDeclarations_.at(name);
        GlobalElement element;
        element.name = name;
        element.typeName = declaration.node->attributeOr("type");
        element.nillable = isTrueAttribute(*declaration.node, "nillable");
        element.at = declaration.node->at;
        element.use = useOfElement(*declaration.node, *declaration.document, name.local, 0);
        if (element.use && element.use->isClass && element.typeName.empty()) {
            types_[static_cast<std::size_t>(element.use->classIndex)].name = name;
        }
        elements_.push_back(std::move(element));
    }
    // Resolving may add the classes of nested anonymous types at the end.
    for (std::size_t index = 0; index < types_.size(); ++index) {
        resolveType(static_cast<int>(index));
    }
    // toXml writes a named type as the first global element declared with it.
    std::set<int> named;
    for (const GlobalElement& element : elements_) {
        if (element.use && element.use->isClass && !element.typeName.empty() &&
            named.insert(element.use->classIndex).second) {
            types_[static_cast<std::size_t>(element.use->classIndex)].defaultElement = element.name;
        }
    }
    markCycles();
    // Every named simple type's C++ form, made now (an enumeration among
    // them is written with the others) for those who ask after resolving,
    // such as a WSDL's parts.
    for (const auto& [name, declaration] : simpleTypes_) {
        useOfType(name, 0);
    }
}

}  // namespace kx::gen
