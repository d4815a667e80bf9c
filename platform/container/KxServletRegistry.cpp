#include "platform/container/KxServletRegistry.h"

#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <exception>
#include <optional>
#include <string_view>

namespace kx::container {

KxServletRegistry::KxServletRegistry(std::string libraryDirectory, KxServletContext& context)
    : libraryDirectory_(std::move(libraryDirectory)), context_(context) {}

KxServletRegistry::~KxServletRegistry() {
    destroyAll();
}

std::string KxServletRegistry::libraryPath(const std::string& library) const {
    if (!library.empty() && library.front() == '/') {
        return library;
    }
    if (libraryDirectory_.empty()) {
        return library;
    }
    return libraryDirectory_ + (libraryDirectory_.back() == '/' ? "" : "/") + library;
}

namespace {

// Why the library cannot serve: no interface version of its own, or another
// one than the container's; nothing when it matches. The symbol must be the
// library's own, not one found in a library it depends on.
std::optional<std::string> interfaceMismatch(void* handle) {
    const auto* version = static_cast<const int*>(dlsym(handle, KX_SERVLET_INTERFACE_SYMBOL));
    link_map* map = nullptr;
    Dl_info info{};
    if (!version || dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || !map ||
        dladdr(version, &info) == 0 || !info.dli_fname ||
        std::string_view(info.dli_fname) != std::string_view(map->l_name)) {
        return std::string("it exports no servlet interface version (" KX_SERVLET_INTERFACE_SYMBOL
                           "); build it with KX_SERVLET_LIBRARY() from KxServlet.h");
    }
    if (*version != KX_SERVLET_INTERFACE_VERSION) {
        return "it was built for servlet interface version " + std::to_string(*version) +
               ", this container has version " + std::to_string(KX_SERVLET_INTERFACE_VERSION) +
               "; rebuild it";
    }
    return std::nullopt;
}

}  // namespace

void* KxServletRegistry::openLibrary(const std::string& library, std::string& error) {
    const std::string path = libraryPath(library);
    if (auto it = libraries_.find(path); it != libraries_.end()) {
        return it->second;
    }
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = dlerror();
        error = "cannot load " + library + ": " + (reason ? reason : "unknown reason");
        return nullptr;
    }
    if (auto mismatch = interfaceMismatch(handle)) {
        dlclose(handle);
        error = *mismatch;
        refusedLibrary_ = true;
        return nullptr;
    }
    libraries_.emplace(path, handle);
    return handle;
}

void KxServletRegistry::initialise(
    const std::string& name, KxServlet& servlet,
    const std::vector<std::pair<std::string, std::string>>& initParameters) {
    KxServletConfig config(name, &context_);
    for (const auto& [parameter, value] : initParameters) {
        config.setInitParameter(parameter, value);
    }
    servlet.init(config);
}

std::vector<std::string> KxServletRegistry::load(const KxDeploymentDescriptor& descriptor) {
    std::vector<std::string> failures;
    for (const auto& declaration : descriptor.servlets) {
        const std::string prefix = "servlet '" + declaration.name + "': ";
        if (declaration.library.empty() || declaration.factory.empty()) {
            failures.push_back(prefix + "servlet-class '" + declaration.servletClass +
                               "' is not of the form library:factory");
            continue;
        }
        std::string error;
        const bool refusedBefore = refusedLibrary_;
        void* library = openLibrary(declaration.library, error);
        if (!library && refusedLibrary_ != refusedBefore) {
            failures.push_back(prefix + "library " + declaration.library + " refused (factory " +
                               declaration.factory + "): " + error);
            continue;
        }
        if (!library) {
            failures.push_back(prefix + error);
            continue;
        }
        dlerror();
        auto factory = reinterpret_cast<Factory>(dlsym(library, declaration.factory.c_str()));
        if (!factory) {
            failures.push_back(prefix + "factory " + declaration.factory + " not found in " +
                               declaration.library);
            continue;
        }
        std::unique_ptr<KxServlet> servlet;
        try {
            servlet.reset(factory());
        } catch (const std::exception& e) {
            failures.push_back(prefix + "factory " + declaration.factory + " failed: " + e.what());
            continue;
        } catch (...) {
            failures.push_back(prefix + "factory " + declaration.factory + " failed");
            continue;
        }
        if (!servlet) {
            failures.push_back(prefix + "factory " + declaration.factory + " in " +
                               declaration.library + " returned no servlet");
            continue;
        }
        try {
            add(declaration.name, std::move(servlet), declaration.initParameters);
        } catch (const std::exception& e) {
            failures.push_back(prefix + "init failed: " + e.what());
        } catch (...) {
            failures.push_back(prefix + "init failed");
        }
    }
    return failures;
}

void KxServletRegistry::add(
    const std::string& name, std::unique_ptr<KxServlet> servlet,
    const std::vector<std::pair<std::string, std::string>>& initParameters) {
    initialise(name, *servlet, initParameters);
    servlets_.push_back({name, servlet.release()});
}

KxServlet* KxServletRegistry::find(const std::string& name) const {
    auto it = std::find_if(servlets_.begin(), servlets_.end(),
                           [&](const Entry& entry) { return entry.name == name; });
    return it == servlets_.end() ? nullptr : it->servlet;
}

void KxServletRegistry::destroyAll() {
    while (!servlets_.empty()) {
        Entry entry = servlets_.back();
        servlets_.pop_back();
        try {
            entry.servlet->destroy();
        } catch (const std::exception& e) {
            context_.log("servlet '" + entry.name + "': destroy failed: " + e.what());
        } catch (...) {
            context_.log("servlet '" + entry.name + "': destroy failed");
        }
        delete entry.servlet;
    }
    for (auto& [path, handle] : libraries_) {
        dlclose(handle);
    }
    libraries_.clear();
}

}  // namespace kx::container
