#pragma once
// The servlets of the web application: each library named in the deployment
// descriptor is opened once (RTLD_NOW | RTLD_LOCAL), each servlet is made by
// its factory, a C function `KxServlet* create...()`, and initialised with
// its name, init parameters and the application's context. A library whose
// exported servlet interface version is missing or not the container's own
// is refused before any of its code runs. A servlet that cannot be made or
// initialised is reported and left out; the others are served. At the end every servlet is
// destroyed and deleted, then the libraries are closed.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/container/KxDeploymentDescriptor.h"
#include "platform/servlet/KxServlet.h"

namespace kx::container {

class KxServletRegistry {
  public:
    using Factory = KxServlet* (*)();

    // libraryDirectory is where library names that are not absolute are
    // looked up; context is handed to every servlet and must outlive the
    // registry's servlets.
    KxServletRegistry(std::string libraryDirectory, KxServletContext& context);
    KxServletRegistry(const KxServletRegistry&) = delete;
    KxServletRegistry& operator=(const KxServletRegistry&) = delete;
    ~KxServletRegistry();

    // Makes and initialises every servlet the descriptor declares. Returns
    // one line per servlet that failed, such as
    //   servlet 'tavrin': factory createKxTavrinWizard not found in liborvowizard.so
    std::vector<std::string> load(const KxDeploymentDescriptor& descriptor);
    // Whether load met a library built for another servlet interface (or
    // for none): the application cannot be served as declared.
    bool refusedLibrary() const { return refusedLibrary_; }

    // Adds a servlet made by the caller and initialises it; the registry owns
    // it from then on. Throws what init throws (the servlet is then deleted).
    void add(const std::string& name, std::unique_ptr<KxServlet> servlet,
             const std::vector<std::pair<std::string, std::string>>& initParameters = {});

    // The initialised servlet of that name; nullptr when there is none.
    KxServlet* find(const std::string& name) const;
    std::size_t size() const { return servlets_.size(); }

    // destroy() and delete every servlet (in the reverse order of making),
    // then close the libraries. Called by the destructor too.
    void destroyAll();

    // Where a library name of the descriptor is looked for.
    std::string libraryPath(const std::string& library) const;

  private:
    struct Entry {
        std::string name;
        KxServlet* servlet;
    };

    void* openLibrary(const std::string& library, std::string& error);
    void initialise(const std::string& name, KxServlet& servlet,
                    const std::vector<std::pair<std::string, std::string>>& initParameters);

    std::string libraryDirectory_;
    KxServletContext& context_;
    std::vector<Entry> servlets_;
    std::map<std::string, void*> libraries_;  // by resolved path
    bool refusedLibrary_ = false;
};

}  // namespace kx::container
