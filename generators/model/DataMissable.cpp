// Which classes' missingFields() can report anything. An object reports a
// field when it can be told unset: a repeated field below its minOccurs, a
// required choice with nothing chosen, a required field held by shared_ptr
// left empty, an xsd:QName held by value without a local name. Everything
// else held by value always holds a value. A class that reports none of its
// own fields, and whose base and held classes report none either, needs no
// walk; in a schema of many small types (code lists, amounts, texts) that is
// most of them.
#include <iterator>

#include "generators/model/DataModel.h"

namespace kx::gen {

namespace {

bool isChoiceMember(const DataType& type, const Field& field) {
    return field.group >= 0 && !field.isAttribute &&
           type.groups[static_cast<std::size_t>(field.group)].kind == FieldGroup::Kind::Choice;
}

// Whether one of the type's own fields can be reported unset.
bool reportsOwnField(const DataType& type) {
    for (const Field& field : type.fields) {
        if (field.isWildcard || field.isAnyAttribute || field.isTextPieces) {
            continue;
        }
        if (!field.alternatives.empty()) {
            if (field.minOccurs > 0) {
                return true;
            }
        } else if (isChoiceMember(type, field) &&
                   !type.groups[static_cast<std::size_t>(field.group)].optional) {
            return true;
        } else if (field.repeated) {
            if (!field.optional && field.minOccurs > 0) {
                return true;
            }
        } else if (field.pointer) {
            if (!field.optional) {
                return true;
            }
        } else if (!field.optional && !field.isClass && !field.nillable &&
                   field.simple.xsdType == "QName") {
            return true;
        }
    }
    return false;
}

// The type indices of the classes the walk could go into.
std::vector<int> heldClasses(const DataType& type) {
    std::vector<int> held;
    for (const Field& field : type.fields) {
        if (field.isWildcard || field.isAnyAttribute || field.isTextPieces) {
            continue;
        }
        for (const Field& alternative : field.alternatives) {
            if (alternative.isClass && !alternative.nillable) {
                held.push_back(alternative.classIndex);
            }
        }
        if (field.alternatives.empty() && field.isClass) {
            held.push_back(field.classIndex);
        }
    }
    return held;
}

}  // namespace

void markMissable(const Schema& schema, DataModel& model) {
    const std::vector<DataType>& types = schema.types();
    std::vector<std::vector<int>> held(types.size());
    for (std::size_t i = 0; i < types.size(); ++i) {
        model.classes[i].canMiss = reportsOwnField(types[i]);
        held[i] = heldClasses(types[i]);
    }
    // What can miss spreads to the classes holding it and to the derived
    // ones, until nothing changes (each pass marks at least one more class).
    const auto canMiss = [&](int index) {
        return index >= 0 && model.classes[static_cast<std::size_t>(index)].canMiss;
    };
    for (bool changed = true; changed;) {
        changed = false;
        for (std::size_t i = 0; i < types.size(); ++i) {
            ClassModel& type = model.classes[i];
            if (!type.canMiss && (canMiss(types[i].baseIndex) ||
                                  std::any_of(held[i].begin(), held[i].end(), canMiss))) {
                type.canMiss = changed = true;
            }
        }
    }
    for (std::size_t i = 0; i < types.size(); ++i) {
        std::vector<int>& walked = model.classes[i].walkedClasses;
        std::copy_if(held[i].begin(), held[i].end(), std::back_inserter(walked), canMiss);
        if (canMiss(types[i].baseIndex)) {
            walked.push_back(types[i].baseIndex);
        }
        std::sort(walked.begin(), walked.end());
        walked.erase(std::unique(walked.begin(), walked.end()), walked.end());
    }
}

}  // namespace kx::gen
