// The schema model completed: each type resolved once the whole schema is
// read, and the cycles between classes marked.
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

void Schema::resolveType(int index) {
    const auto at = static_cast<std::size_t>(index);
    if (state_[at] != 0) {
        return;
    }
    state_[at] = 1;
    const XmlElement& node = *typeNodes_[at];
    const Document& document = *typeDocuments_[at];
    collect(node, index, document, -1, false, false);
    const XmlElement* complexContent = node.child("complexContent");
    if (isTrueAttribute(node, "mixed") ||
        (complexContent != nullptr && isTrueAttribute(*complexContent, "mixed"))) {
        addMixedContent(index, node);
    }
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

// A class per complex type, in the order of the documents.
void Schema::addClassesOfTypes() {
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
}

// The global elements, each once; one with an anonymous complex type gets
// its class here.
void Schema::addGlobalElements() {
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
        element.abstract = isTrueAttribute(*declaration.node, "abstract");
        element.at = declaration.node->at;
        if (const KxCString* head = declaration.node->attribute("substitutionGroup")) {
            element.head = nameIn(*declaration.document, *declaration.node, *head, true);
            if (element.head) {
                members_[*element.head].push_back(name);
            }
        }
        element.use = useOfElement(*declaration.node, *declaration.document, name.local, 0);
        if (element.use && element.use->isClass && element.typeName.empty()) {
            types_[static_cast<std::size_t>(element.use->classIndex)].name = name;
        }
        elements_.push_back(std::move(element));
    }
    // A member declared without a type of its own has its head's.
    for (GlobalElement& element : elements_) {
        const XmlElement& node = *elementDeclarations_.at(element.name).node;
        if (!element.head || node.attribute("type") != nullptr ||
            node.child("complexType") != nullptr || node.child("simpleType") != nullptr) {
            continue;
        }
        std::set<QName> passed;
        for (const GlobalElement* head = this->element(*element.head);
             head != nullptr && passed.insert(head->name).second;
             head = head->head ? this->element(*head->head) : nullptr) {
            const XmlElement& headNode = *elementDeclarations_.at(head->name).node;
            if (headNode.attribute("type") != nullptr || headNode.child("complexType") != nullptr ||
                headNode.child("simpleType") != nullptr || !head->head) {
                element.use = head->use;
                element.typeName = head->typeName;
                break;
            }
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
            warn("the import of the namespace \"" + import.ns + "\" names " +
                     (import.url.empty() ? KxCString("no schemaLocation")
                                         : "the URL " + import.url + ", which is not fetched") +
                     ", and no schema read defines it" +
                     (import.url.empty() ? "" : " (name a copy beside this file instead)"),
                 *import.document, *import.at);
        }
    }
    addClassesOfTypes();
    addGlobalElements();
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
