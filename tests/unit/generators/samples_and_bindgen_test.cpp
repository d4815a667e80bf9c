// Samples a user may have edited are kept (the new one goes beside them as
// .sample), and what bindgen writes for the data-binding settings.
#include "GeneratorProject.h"

namespace gentest {
namespace {

class Samples : public GeneratorProject {
  protected:
    void generate() { ASSERT_EQ(run(svcgen(example("calculator.wsdl"))), 0) << log(); }
};

TEST_F(Samples, EditedSampleIsKeptAndTheNewOneWrittenBeside) {
    writeProperties("server", {"client=true", "sample=true"});
    generate();
    const std::string generated = read("CalculatorPortTypeImpl.cpp");
    const std::string edited = generated + "\n// the user's own work\n";
    write("CalculatorPortTypeImpl.cpp", edited);
    write("main.cpp", "int main() { return 42; }\n");
    write("CalculatorPortTypeBase.h", "// edited, but not a sample\n");
    generate();
    EXPECT_EQ(read("CalculatorPortTypeImpl.cpp"), edited);
    EXPECT_EQ(read("CalculatorPortTypeImpl.cpp.sample"), generated);
    EXPECT_EQ(read("main.cpp"), "int main() { return 42; }\n");
    EXPECT_TRUE(exists("main.cpp.sample"));
    // Generated classes are always written again.
    EXPECT_NE(read("CalculatorPortTypeBase.h"), "// edited, but not a sample\n");
    // Unedited samples are written in place.
    EXPECT_FALSE(exists("CalculatorPortTypeServlet.cpp.sample"));
    EXPECT_FALSE(exists("CalculatorPortTypeClient.cpp.sample"));
    EXPECT_NE(log().find("kept CalculatorPortTypeImpl.cpp"), std::string::npos) << log();
}

TEST_F(Samples, EmptySampleFileIsFilled) {
    writeProperties("server", {"sample=true"});
    write("CalculatorPortTypeImpl.h", "");
    generate();
    EXPECT_NE(read("CalculatorPortTypeImpl.h").find("class CalculatorPortTypeImpl"),
              std::string::npos);
    EXPECT_FALSE(exists("CalculatorPortTypeImpl.h.sample"));
}

class Bindgen : public GeneratorProject {};

TEST_F(Bindgen, WritesAClassPerComplexTypeAndAnonymousElementType) {
    write("mixed.xsd",
          "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema'>\n"
          "  <xs:element name='letter'><xs:complexType><xs:sequence>"
          "<xs:element name='to' type='xs:string'/></xs:sequence></xs:complexType></xs:element>\n"
          "  <xs:element name='memo' type='Note'/>\n"
          "  <xs:element name='plain' type='xs:string'/>\n"
          "  <xs:complexType name='Note'><xs:attribute name='id' type='xs:int'/></xs:complexType>\n"
          "</xs:schema>\n");
    writeProperties("foundation", {});
    ASSERT_EQ(run(bindgen("mixed.xsd")), 0) << log();
    EXPECT_EQ(filesEndingIn(".h"),
              (std::vector<std::string>{"Note.h", "letter.h", "orvoruntime.h"}));
    EXPECT_EQ(filesEndingIn(".cpp"), (std::vector<std::string>{"Note.cpp", "letter.cpp"}));
    // A named type is written under the first element declared with it.
    EXPECT_NE(read("Note.h").find("toXml(const std::string& elementName = \"memo\")"),
              std::string::npos)
        << read("Note.h");
}

TEST_F(Bindgen, DocumentationPagesSitDirectlyInDocs) {
    writeProperties("foundation", {"html=true"});
    ASSERT_EQ(run(bindgen(example("purchaseorder.xsd"))), 0) << log();
    EXPECT_EQ(filesEndingIn(".html", "docs"),
              (std::vector<std::string>{"Item.html", "Items.html", "PurchaseOrderType.html",
                                        "USAddress.html", "index.html"}));
    EXPECT_FALSE(exists("docs/datatypes"));
    const std::string page = read("docs/PurchaseOrderType.html");
    EXPECT_NE(page.find("href=\"USAddress.html\""), std::string::npos) << page;
    EXPECT_NE(page.find("href=\"index.html\""), std::string::npos) << page;
}

TEST_F(Bindgen, MarshallersHaveNamesTheStatusPageKeepsWithTheDataClasses) {
    writeProperties("foundation", {"externalmarshaller=true"});
    ASSERT_EQ(run(bindgen(example("purchaseorder.xsd"))), 0) << log();
    const std::vector<std::string> sources = filesEndingIn(".cpp");
    EXPECT_EQ(sources.size(), 8u);
    for (const char* type : {"PurchaseOrderType", "USAddress", "Items", "Item"}) {
        EXPECT_TRUE(exists(std::string(type) + "Marshaller.h")) << type;
        EXPECT_TRUE(exists(std::string(type) + "Marshaller.cpp")) << type;
        // The class itself leaves XML to its marshaller.
        EXPECT_EQ(read(std::string(type) + ".h").find("toXml"), std::string::npos) << type;
    }
    // Other endings put a file among the service or sample files.
    for (const std::string& source : sources) {
        for (const std::string ending :
             {"Client.cpp", "Servlet.cpp", "main.cpp", "Impl.cpp", "Skeleton.cpp", "ProxyBase.cpp",
              "ClientProxy.cpp", "Local.cpp", "ServletBase.cpp"}) {
            EXPECT_FALSE(source.size() >= ending.size() &&
                         source.compare(source.size() - ending.size(), ending.size(), ending) == 0)
                << source;
        }
    }
}

TEST_F(Bindgen, DocsDirAndIncDirGetCopiesAndTheProjectKeepsItsOwn) {
    writeProperties("foundation", {"html=true", "docsDir=" + doubled(path() + "\\pub\\docs"),
                                   "incDir=include\\\\po"});
    ASSERT_EQ(run(bindgen(example("purchaseorder.xsd"))), 0) << log();
    for (const char* name : {"index.html", "Item.html", "USAddress.html"}) {
        EXPECT_TRUE(exists(std::string("pub/docs/") + name)) << name;
        EXPECT_EQ(read(std::string("pub/docs/") + name), read(std::string("docs/") + name));
    }
    EXPECT_EQ(filesEndingIn(".h", "include/po"),
              (std::vector<std::string>{"Item.h", "Items.h", "PurchaseOrderType.h", "USAddress.h",
                                        "orvoruntime.h"}));
    EXPECT_TRUE(filesEndingIn(".cpp", "include/po").empty());
    EXPECT_TRUE(exists("Item.h"));
    EXPECT_TRUE(exists("docs/index.html"));
}

TEST_F(Bindgen, HeadersCopiedToIncDirCompileOnTheirOwn) {
    writeProperties("foundation", {"incDir=inc", "externalmarshaller=true"});
    ASSERT_EQ(run(bindgen(example("purchaseorder.xsd"))), 0) << log();
    write("inc_check.cpp", "#include \"PurchaseOrderTypeMarshaller.h\"\n");
    EXPECT_EQ(kx::os::runCommand("g++ -std=c++17 -fsyntax-only -Iinc inc_check.cpp > compiler.txt"),
              0)
        << read("compiler.txt");
}

}  // namespace
}  // namespace gentest
