// The schema model: built-in types, C++ namespaces, documentation, and the
// reading of schema files with their includes and imports.
#include "generators/schema/Schema.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>

#include "generators/emit/ProjectFiles.h"
#include "generators/schema/SchemaParts.h"
#include "generators/support/Text.h"
#include "platform/base/KxText.h"
#include "platform/os/KxOs.h"

namespace kx::gen {

using namespace schema_parts;

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
        {"QName", "orvo::QName"},
    };
    static const std::set<KxCString> kStrings = {
        "string",        "normalizedString", "token",    "NMTOKEN",   "NMTOKENS",
        "Name",          "NCName",           "ID",       "IDREF",     "IDREFS",
        "ENTITY",        "ENTITIES",         "language", "anyURI",    "NOTATION",
        "gYear",         "gYearMonth",       "gMonth",   "gMonthDay", "gDay",
        "anySimpleType", "anyType"};
    SimpleKind kind;
    kind.xsdType = name;
    if (auto found = kTypes.find(name); found != kTypes.end()) {
        kind.cppType = found->second;
        return kind;
    }
    if (kStrings.count(name) != 0) {
        return kind;
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

const XmlDocument& Schema::keep(XmlDocument document) {
    return files_.emplace_back(std::move(document));
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
    for (const XmlElement& child : schema.children) {
        if (child.namespaceUri != kXsdNamespace) {
            continue;
        }
        if (child.name == "include" || child.name == "import") {
            follow(child, document);
        } else {
            declareTopLevel(child, document);
        }
    }
}

void Schema::follow(const XmlElement& child, const Document& document) {
    const bool include = child.name == "include";
    const KxCString location(kx::trimWhitespace(child.attributeOr("schemaLocation")));
    const KxCString imported = child.attributeOr("namespace");
    const bool url = location.find("://") != KxCString::npos;
    if (include && (location.empty() || url)) {
        fail(url ? "the schema " + location +
                       " is named by a URL; only local files are read (name a copy "
                       "beside this file instead)"
                 : KxCString("the include names no schemaLocation"),
             document, child);
        return;
    }
    // An import the run does not read is fine as long as another schema
    // defines its namespace or nothing from it is used; what is used and
    // missing is reported where it is used.
    if (location.empty() || url) {
        if (imported != kXmlNamespace && imported != kXsdNamespace) {
            pendingImports_.push_back({imported, &document, &child, location});
        }
        return;
    }
    const KxCString& target = document.targetNamespace;
    const SourceFile& source = document.source;
    const KxCString named = locationBeside(source.name, location);
    const std::size_t before = documents_.size();
    loadFile(SourceFile::named(named), include ? target : KxCString(), &source, child.at);
    // The file read declares the namespace the include or import expects.
    if (documents_.size() > before) {
        const Document& added = documents_[before];
        const KxCString expected = include ? target : imported;
        if (added.targetNamespace != expected && !(include && added.chameleon)) {
            fail("the schema " + named + " has the target namespace \"" + added.targetNamespace +
                     "\", not \"" + expected + "\" as the " + child.name + " expects",
                 document, child);
        }
    }
}

void Schema::declareTopLevel(const XmlElement& child, const Document& document) {
    const KxCString& target = document.targetNamespace;
    const auto declare = [&](std::map<QName, Declaration>& table, const char* what) {
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
    if (child.name == "complexType") {
        declare(complexTypes_, "complex type");
        order_.push_back({'c', {target, child.attributeOr("name")}});
    } else if (child.name == "simpleType") {
        declare(simpleTypes_, "simple type");
    } else if (child.name == "element") {
        declare(elementDeclarations_, "element");
        order_.push_back({'e', {target, child.attributeOr("name")}});
    } else if (child.name == "attribute") {
        declare(attributes_, "attribute");
    } else if (child.name == "group") {
        declare(groups_, "group");
    } else if (child.name == "attributeGroup") {
        declare(attributeGroups_, "attribute group");
    } else if (child.name == "redefine" || child.name == "override") {
        warn("xsd:" + child.name + " is not supported; the schema it names is not read", document,
             child);
    } else if (child.name != "annotation" && child.name != "notation") {
        warn("xsd:" + child.name + " at the top of a schema is not supported and is passed over",
             document, child);
    }
}

}  // namespace kx::gen
