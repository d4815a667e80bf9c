#pragma once
// The documentation pages of a service project: docs/<Class>.html for each
// class written, and docs/index.html with the services, the port types'
// classes and operations, and the data classes.
#include <vector>

#include "generators/emit/DataClassWriter.h"
#include "generators/emit/OutputWriter.h"
#include "generators/model/ServiceModel.h"

namespace kx::gen {

// The classes made for a port type that have a page.
enum class ServiceClass { Base, ServletBase, Skeleton, Local, ProxyBase, Faults, ClientProxy };

// What a page says about one generated class.
struct ClassDoc {
    KxCString name;
    KxCString summary;
    KxCString files;
    std::vector<std::pair<KxCString, KxCString>> members;  // declaration, description
};

ClassDoc classDoc(const ServicePort& port, ServiceClass kind, const KxCString& targetNamespace);

// Writes the pages of the classes documented, in order, and the overview.
void writeServiceDocs(const std::vector<ClassDoc>& docs, const std::vector<ServicePort>& ports,
                      const Wsdl& wsdl, const Schema& schema, const CodeOrigin& origin,
                      const KxCString& projectName, OutputWriter& output);

}  // namespace kx::gen
