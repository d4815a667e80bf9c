// Fuzz target: the deployment descriptor reader. Each input is read as
// WEB-INF/web.xml; a descriptor that reads is handed to the request mapper,
// which routes a few paths with it, as the container does at start.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/container/KxDeploymentDescriptor.h"
#include "platform/container/KxRequestMapping.h"

using namespace kx::container;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    KxDeploymentDescriptor descriptor;
    try {
        descriptor = parseDeploymentDescriptor(text, "web.xml");
    } catch (const KxDescriptorError&) {
        return 0;
    }
    std::vector<std::string> names;
    for (const auto& servlet : descriptor.servlets) {
        if (servlet.name.empty()) {
            std::abort();  // a servlet without a name is refused
        }
        if (descriptor.findServlet(servlet.name) == nullptr) {
            std::abort();
        }
        names.push_back(servlet.name);
    }
    const KxRequestMapper mapper("/orvo", descriptor.mappings, names);
    for (const char* path : {"/orvo", "/orvo/", "/orvo/server", "/orvo/server/generate",
                             "/orvo/static/style.css", "/", "/elsewhere"}) {
        const KxRoute route = mapper.route(path);
        if (route.kind == KxRoute::Kind::Servlet && route.servletName.empty()) {
            std::abort();
        }
    }
    return 0;
}
