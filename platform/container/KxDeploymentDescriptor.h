#pragma once
// The web application's deployment descriptor, WEB-INF/web.xml:
//
//   <web-app>
//     <servlet>
//       <servlet-name>server</servlet-name>
//       <servlet-class>liborvowizard.so:createKxServerWizard</servlet-class>
//       <init-param><param-name>N</param-name><param-value>V</param-value></init-param>
//     </servlet>
//     <servlet-mapping>
//       <servlet-name>server</servlet-name>
//       <url-pattern>/server/*</url-pattern>
//     </servlet-mapping>
//   </web-app>
//
// servlet-class names a shared library and the C function in it that makes
// the servlet, separated by the last ":". Elements the container does not use
// (display-name, description, load-on-startup, ...) are passed over.
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/container/KxRequestMapping.h"

namespace kx::container {

// The descriptor cannot be read or is not a deployment descriptor; the text
// names the file and, for malformed XML, the line.
class KxDescriptorError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct KxServletDeclaration {
    std::string name;
    std::string servletClass;  // as written
    std::string library;       // the part before the last ":"
    std::string factory;       // the part after it; empty when missing
    std::vector<std::pair<std::string, std::string>> initParameters;
};

struct KxDeploymentDescriptor {
    // The application's display-name, trimmed; empty when it has none.
    std::string displayName;
    std::vector<KxServletDeclaration> servlets;
    std::vector<KxUrlPattern> mappings;
    // Things the container passes over, one line each (a mapping for an
    // undeclared servlet, an unsupported url-pattern ...).
    std::vector<std::string> warnings;

    const KxServletDeclaration* findServlet(const std::string& name) const;
};

// Reads the descriptor text; sourceName names it in messages. A DOCTYPE that
// declares entities is refused, no DTD is loaded. Throws KxDescriptorError.
KxDeploymentDescriptor parseDeploymentDescriptor(const std::string& text,
                                                 const std::string& sourceName);

// Reads the descriptor file: a regular file of at most 1 MB. Throws
// KxDescriptorError.
KxDeploymentDescriptor readDeploymentDescriptor(const std::string& path);

}  // namespace kx::container
