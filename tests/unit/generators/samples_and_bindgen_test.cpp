// Samples a user may have edited are kept (the new one goes beside them as
// .sample), and what bindgen writes for the data-binding settings.
#include "GeneratorProject.h"

namespace gentest {
namespace {

class Samples : public GeneratorProject {};

TEST_F(Samples, EditedSampleIsKeptAndTheNewOneWrittenBesideAnEmptyOneFilled) {
    writeProperties("server", {"client=true", "sample=true"});
    ASSERT_EQ(run(svcgen(example("calculator.wsdl"))), 0) << log();
    const std::string generated = read("CalculatorPortTypeImpl.cpp");
    const std::string edited = generated + "\n// the user's own work\n";
    write("CalculatorPortTypeImpl.cpp", edited);
    write("main.cpp", "int main() { return 42; }\n");
    write("CalculatorPortTypeBase.h", "// edited, but not a sample\n");
    write("CalculatorPortTypeImpl.h", "");
    ASSERT_EQ(run(svcgen(example("calculator.wsdl"))), 0) << log();
    EXPECT_EQ(read("CalculatorPortTypeImpl.cpp"), edited);
    EXPECT_EQ(read("CalculatorPortTypeImpl.cpp.sample"), generated);
    EXPECT_EQ(read("main.cpp"), "int main() { return 42; }\n");
    EXPECT_TRUE(exists("main.cpp.sample"));
    // Generated classes are always written again.
    EXPECT_NE(read("CalculatorPortTypeBase.h"), "// edited, but not a sample\n");
    // Unedited samples are written in place.
    EXPECT_FALSE(exists("CalculatorPortTypeServlet.cpp.sample"));
    EXPECT_FALSE(exists("CalculatorPortTypeClient.cpp.sample"));
    // An empty sample counts as unedited.
    EXPECT_TRUE(has(read("CalculatorPortTypeImpl.h"), "class CalculatorPortTypeImpl"));
    EXPECT_FALSE(exists("CalculatorPortTypeImpl.h.sample"));
    EXPECT_TRUE(has(log(), "kept CalculatorPortTypeImpl.cpp")) << log();
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
    std::vector<std::string> headers = runtimeHeaderNames();
    headers.insert(headers.begin(), {"Letter.h", "Note.h"});
    EXPECT_EQ(filesEndingIn(".h"), headers);
    EXPECT_EQ(filesEndingIn(".cpp"), (std::vector<std::string>{"Letter.cpp", "Note.cpp"}));
    // A named type is written under the first element declared with it.
    EXPECT_TRUE(has(read("Note.cpp"), "xmlFields(), \"\", \"memo\");")) << read("Note.cpp");
}

// html, externalmarshaller, docsDir and incDir together on one run.
TEST_F(Bindgen, DataBindingSettingsWriteTheirFilesAndCopies) {
    writeProperties("foundation",
                    {"html=true", "externalmarshaller=true",
                     "docsDir=" + doubled(path() + "\\pub\\docs"), "incDir=include\\\\po"});
    ASSERT_EQ(run(bindgen(example("purchaseorder.xsd"))), 0) << log();
    // Pages sit directly in docs, and docsDir gets the same pages.
    const std::vector<std::string> pages = filesEndingIn(".html", "docs");
    EXPECT_EQ(pages, (std::vector<std::string>{"Item.html", "Items.html", "PurchaseOrderType.html",
                                               "USAddress.html", "index.html"}));
    EXPECT_FALSE(exists("docs/datatypes"));
    expectHas(read("docs/PurchaseOrderType.html"),
              {"href=\"USAddress.html\"", "href=\"index.html\""});
    EXPECT_EQ(filesEndingIn(".html", "pub/docs"), pages);
    for (const std::string& name : pages) {
        EXPECT_EQ(read("pub/docs/" + name), read("docs/" + name)) << name;
    }
    // A marshaller per type; the class itself leaves XML to it.
    EXPECT_EQ(filesEndingIn(".cpp").size(), 8u);
    for (const std::string type : {"PurchaseOrderType", "USAddress", "Items", "Item"}) {
        EXPECT_TRUE(exists(type + "Marshaller.cpp")) << type;
        EXPECT_EQ(read(type + ".h").find("toXml"), std::string::npos) << type;
    }
    // incDir gets the headers only, and they are enough on their own.
    EXPECT_EQ(filesEndingIn(".h", "include/po"), filesEndingIn(".h"));
    EXPECT_EQ(filesEndingIn(".h").size(), 8u + runtimeHeaderNames().size());
    EXPECT_TRUE(filesEndingIn(".cpp", "include/po").empty());
    write("inc_check.cpp", "#include \"PurchaseOrderTypeMarshaller.h\"\n");
    EXPECT_EQ(kx::os::runCommand("g++ -std=c++17 -fsyntax-only " + pkgConfig("--cflags") +
                                 " -Iinclude/po inc_check.cpp > compiler.txt"),
              0)
        << read("compiler.txt");
}

}  // namespace
}  // namespace gentest
