#pragma once
// A schema model read from the text of a schema document, as the generators
// read a file, for tests of what is built from it.
#include <gtest/gtest.h>

#include <memory>

#include "generators/schema/Schema.h"

namespace kx::gen {

class SchemaText {
  public:
    explicit SchemaText(const KxCString& text)
        : document_(parseXmlDocument(text)), schema_(std::make_unique<Schema>(diagnostics_)) {
        EXPECT_FALSE(document_.fault) << "the test's schema is not well-formed: "
                                      << (document_.fault ? document_.fault->message : "");
        if (document_.root) {
            schema_->add(*document_.root, SourceFile::named("test.xsd"));
        }
        schema_->resolve();
        EXPECT_EQ(diagnostics_.errorCount(), 0u) << toErrorFile(diagnostics_);
    }

    const Schema& schema() const { return *schema_; }

  private:
    XmlDocument document_;
    Diagnostics diagnostics_;
    std::unique_ptr<Schema> schema_;
};

// A schema document of the given target namespace and content.
inline KxCString schemaText(const KxCString& targetNamespace, const KxCString& content) {
    return "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" xmlns:t=\"" + targetNamespace +
           "\" targetNamespace=\"" + targetNamespace + "\" elementFormDefault=\"qualified\">" +
           content + "</xs:schema>";
}

}  // namespace kx::gen
