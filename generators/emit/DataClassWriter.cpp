#include "generators/emit/DataClassWriter.h"

#include <set>

#include "generators/emit/DataCode.h"
#include "generators/emit/TemplateRendering.h"
#include "generators/support/Text.h"

namespace kx::gen {

KxCString literalNames(const QName& name) {
    return cppLiteral(name.ns) + ", " + cppLiteral(name.local);
}

KxCString writeObjectStatement(const DataType& type, const KxCString& value, const QName& element,
                               bool externalMarshaller) {
    const KxCString names = literalNames(element);
    if (externalMarshaller) {
        return qualifiedClassName(type) + "Marshaller::writeXml(out, " + value + ", " + names +
               ");";
    }
    return value + ".writeXml(out, " + names + ");";
}

KxCString readObjectStatement(const DataType& type, const KxCString& from, const KxCString& target,
                              bool externalMarshaller) {
    if (externalMarshaller) {
        return qualifiedClassName(type) + "Marshaller::readXml(" + from + ", " + target + ");";
    }
    return target + ".readXml(" + from + ");";
}

namespace {

KxContextObject text(const KxCString& value) {
    return kxcreateContextObject(value);
}

KxContextObject flag(bool value) {
    return kxcreateContextObject(value);
}

KxContextObject texts(const std::vector<KxCString>& values) {
    std::vector<KxContextObject> list;
    for (const KxCString& value : values) {
        list.push_back(text(value));
    }
    return kxcreateContextObject(std::move(list));
}

KxContextObject nameValues(const QName& name) {
    return kxcreateRecord({{"ns", inputText(name.ns)},
                           {"local", inputText(name.local)},
                           {"shown", inputText(name.shown())}});
}

KxContextObject fieldValues(const FieldModel& field) {
    std::vector<KxContextObject> alternatives;
    for (const AlternativeModel& alternative : field.alternatives) {
        alternatives.push_back(kxcreateRecord(
            {{"member", text(alternative.member)},
             {"storedType", text(alternative.storedType)},
             {"comment",
              inputText(alternative.xmlForm + " (" + alternative.field->typeName + ")")}}));
    }
    return kxcreateRecord(
        {{"name", text(field.name)},
         {"accessor", text(field.accessor)},
         {"member", text(field.member)},
         {"valueType", text(field.valueType)},
         {"itemType", text(field.itemType)},
         {"storedType", text(field.storedType)},
         {"storedScalar", flag(field.storedScalar)},
         {"repeated", flag(field.repeated)},
         {"textPieces", flag(field.textPieces)},
         {"xmlForm", inputText(field.xmlForm)},
         {"occurs", inputText(field.occurs)},
         {"typeName", inputText(field.field->typeName)},
         {"comment",
          inputText(field.xmlForm + " (" + field.field->typeName + ", " + field.occurs + ")")},
         {"preset", inputText(field.preset)},
         {"unionMembers", text(field.unionMembers)},
         {"unionComment", inputText("Which of the union's member types (" + field.unionNames +
                                    ") the value is of: the index of the first whose form it "
                                    "has, -1 for none (or no value).")},
         {"unionOptional", flag(field.unionOptional)},
         {"heldClass", text(field.heldClass)},
         {"itemStruct", text(field.itemStruct)},
         {"alternatives", kxcreateContextObject(std::move(alternatives))}});
}

// What the class comment says: which schema type or element the class
// stands for, what it extends, and the schema's documentation.
KxCString classComment(const DataType& type) {
    KxCString comment = (type.fromElement ? "The element " : "The type ") + type.name.shown() + ".";
    if (!type.baseName.empty()) {
        comment += " It extends " + type.baseName + ".";
    }
    if (!type.documentation.empty()) {
        comment += "\n" + type.documentation;
    }
    return comment;
}

KxContextObject classValues(const ClassModel& model) {
    std::vector<KxContextObject> forward;
    for (const ForwardDeclaration& declared : model.forwardDeclarations) {
        forward.push_back(kxcreateRecord({{"cppNamespace", text(declared.cppNamespace)},
                                          {"className", text(declared.className)}}));
    }
    std::vector<KxContextObject> fields;
    for (const FieldModel& field : model.fields) {
        fields.push_back(fieldValues(field));
    }
    std::vector<KxContextObject> derived;
    for (const ClassModel* type : model.derivedTypes) {
        derived.push_back(kxcreateRecord({{"qualifiedName", text(type->qualifiedName)},
                                          {"marshaller", text(type->qualifiedName + "Marshaller")},
                                          {"ns", inputText(type->type->name.ns)},
                                          {"local", inputText(type->type->name.local)}}));
    }
    const DataType& type = *model.type;
    return kxcreateRecord({{"name", text(model.name)},
                           {"derivedTypes", kxcreateContextObject(std::move(derived))},
                           {"holdsDerived", flag(model.holdsDerived)},
                           {"typed", flag(model.typed)},
                           {"tableDriven", flag(data_code::tableDriven(model))},
                           {"lean", flag(data_code::leanClass(model))},
                           {"canMiss", flag(model.canMiss)},
                           // A class of its own line, with no derived object to
                           // forget, is cleared through its table before it is read.
                           {"clearsByTable", flag(data_code::tableDriven(model) &&
                                                  model.base == nullptr && !model.holdsDerived)},
                           {"xmlNs", inputText(type.name.ns)},
                           {"xmlLocal", inputText(type.name.local)},
                           {"qualifiedName", text(model.qualifiedName)},
                           {"marshaller", text(model.marshaller)},
                           {"cppNamespace", text(model.cppNamespace)},
                           {"base", flag(model.base != nullptr)},
                           {"baseName", text(model.baseName)},
                           {"baseQualifiedName", text(model.baseQualifiedName)},
                           {"headerIncludes", texts(model.headerIncludes)},
                           {"sourceIncludes", texts(model.sourceIncludes)},
                           {"marshallerIncludes", texts(model.marshallerIncludes)},
                           {"forwardDeclarations", kxcreateContextObject(std::move(forward))},
                           {"fields", kxcreateContextObject(std::move(fields))},
                           {"comment", inputText(classComment(type))},
                           {"fromElement", flag(type.fromElement)},
                           {"xmlName", inputText(type.name.shown())},
                           {"documentation", inputText(type.documentation)}});
}

KxContextObject prefixValues(const DataClassOptions& options) {
    std::vector<KxContextObject> prefixes;
    for (const auto& [prefix, ns] : options.prefixes) {
        prefixes.push_back(kxcreateRecord({{"prefix", inputText(prefix)}, {"ns", inputText(ns)}}));
    }
    return kxcreateContextObject(std::move(prefixes));
}

KxContextObject heading(const DataClassOptions& options, const KxCString& fileName) {
    return inputText(fileName + ": generated by " + options.origin.tool + " from " +
                     baseName(options.origin.input) + ".");
}

// What every template of a data class's files is given.
KxRecordFields classFileValues(const ClassModel& model, const DataClassOptions& options,
                               const KxCString& fileName) {
    return {{"heading", heading(options, fileName)},
            {"runtimeHeader", text(kRuntimeHeader)},
            {"external", flag(options.externalMarshaller)},
            {"cppNamespace", text(model.cppNamespace)},
            {"class", classValues(model)},
            {"root", nameValues(model.type->defaultElement)},
            {"prefixes", prefixValues(options)}};
}

KxContextObject bodyValues(const Schema& schema, const ClassModel& model, bool external) {
    const XmlFunctionBodies bodies = xmlFunctionBodies(schema, model, external);
    return kxcreateRecord({{"writeAttributes", text(bodies.writeAttributes)},
                           {"writeContent", text(bodies.writeContent)},
                           {"readAttributes", text(bodies.readAttributes)},
                           {"readContent", text(bodies.readContent)},
                           {"fieldTable", text(bodies.fieldTable)},
                           {"fieldLookup", text(bodies.fieldLookup)}});
}

}  // namespace

KxCString dataClassHeader(const ClassModel& type, const DataClassOptions& options) {
    return renderTemplate("data/class-header.tl", classFileValues(type, options, type.name + ".h"));
}

KxCString dataClassSource(const Schema& schema, const ClassModel& type,
                          const DataClassOptions& options) {
    KxRecordFields values = classFileValues(type, options, type.name + ".cpp");
    values.emplace_back("owner", text(type.name));
    values.emplace_back("missingBody", text(data_code::missingFieldsBody(type)));
    if (!options.externalMarshaller) {
        values.emplace_back("bodies", bodyValues(schema, type, false));
    }
    return renderTemplate("data/class-source.tl", values);
}

KxCString marshallerHeader(const ClassModel& type, const DataClassOptions& options) {
    return renderTemplate("data/marshaller-header.tl",
                          classFileValues(type, options, type.marshaller + ".h"));
}

KxCString marshallerSource(const Schema& schema, const ClassModel& type,
                           const DataClassOptions& options) {
    KxRecordFields values = classFileValues(type, options, type.marshaller + ".cpp");
    values.emplace_back("owner", text(type.marshaller));
    values.emplace_back("bodies", bodyValues(schema, type, true));
    return renderTemplate("data/marshaller-source.tl", values);
}

KxCString enumHeader(const EnumModel& type, const DataClassOptions& options) {
    std::vector<KxContextObject> values;
    for (const EnumModel::Value& value : type.values) {
        values.push_back(kxcreateRecord(
            {{"enumerator", text(value.enumerator)}, {"text", inputText(value.text)}}));
    }
    KxCString comment = "The values of " + type.type->name.shown() + ".";
    if (!type.type->documentation.empty()) {
        comment += "\n" + type.type->documentation;
    }
    return renderTemplate("data/enum-header.tl",
                          {{"heading", heading(options, type.name + ".h")},
                           {"runtimeHeader", text(kRuntimeHeader)},
                           {"cppNamespace", text(type.cppNamespace)},
                           {"name", text(type.name)},
                           {"comment", inputText(comment)},
                           {"xmlName", inputText(type.type->name.local)},
                           {"values", kxcreateContextObject(std::move(values))}});
}

KxCString sourceGroup(const std::vector<KxCString>& parts, const DataClassOptions& options,
                      const KxCString& fileName) {
    return renderTemplate("data/source-group.tl",
                          {{"heading", heading(options, fileName)}, {"parts", texts(parts)}});
}

KxCString sampleProgram(const DataModel& model, const DataClassOptions& options) {
    std::set<KxCString> headers;
    std::vector<KxContextObject> roots;
    KxCString expected;
    for (const RootModel& root : model.roots) {
        headers.insert(options.externalMarshaller ? root.type->marshaller : root.type->name);
        expected += (expected.empty() ? "" : ", ") + root.element->name.shown();
        roots.push_back(kxcreateRecord({{"ns", inputText(root.element->name.ns)},
                                        {"local", inputText(root.element->name.local)},
                                        {"class", classValues(*root.type)}}));
    }
    if (expected.empty()) {
        expected = "an element the schema declares with a complex type";
    } else if (expected.find(',') != KxCString::npos) {
        expected = "one of " + expected;
    }
    return renderTemplate("data/sample.tl", {{"heading", heading(options, "main.cpp")},
                                             {"runtimeHeader", text(kRuntimeHeader)},
                                             {"external", flag(options.externalMarshaller)},
                                             {"headers", texts({headers.begin(), headers.end()})},
                                             {"prefixes", prefixValues(options)},
                                             {"roots", kxcreateContextObject(std::move(roots))},
                                             {"expected", inputText(expected)}});
}

KxCString dataTypeHtml(const ClassModel& type, const CodeOrigin& origin, bool externalMarshaller,
                       const KxCString& indexLink) {
    return renderTemplate("data/class-page.tl", {{"tool", inputText(origin.tool)},
                                                 {"inputFile", inputText(baseName(origin.input))},
                                                 {"indexLink", inputText(indexLink)},
                                                 {"external", flag(externalMarshaller)},
                                                 {"class", classValues(type)},
                                                 {"root", nameValues(type.type->defaultElement)}});
}

KxCString dataIndexHtml(const Schema& schema, const KxCString& title, const CodeOrigin& origin) {
    std::vector<KxContextObject> classes;
    for (const DataType& type : schema.types()) {
        classes.push_back(kxcreateRecord({{"name", text(type.className)},
                                          {"fromElement", flag(type.fromElement)},
                                          {"xmlName", inputText(type.name.shown())}}));
    }
    std::vector<KxContextObject> elements;
    for (const GlobalElement& element : schema.elements()) {
        elements.push_back(kxcreateRecord(
            {{"name", inputText(element.name.shown())},
             {"type", element.use ? text(element.use->cppType) : inputText(element.typeName)}}));
    }
    return renderTemplate("data/index-page.tl",
                          {{"pageTitle", inputText(title)},
                           {"tool", inputText(origin.tool)},
                           {"inputFile", inputText(baseName(origin.input))},
                           {"targetNamespaces", inputTexts(schema.targetNamespaces())},
                           {"classes", kxcreateContextObject(std::move(classes))},
                           {"elements", kxcreateContextObject(std::move(elements))}});
}

}  // namespace kx::gen
