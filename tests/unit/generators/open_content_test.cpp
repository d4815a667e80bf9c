// Content a schema leaves open: wildcards become fields in their place that
// keep what they take (with the namespaces they take), xsd:anyAttribute a
// list of the attributes the class does not declare, mixed content its text
// pieces (or its text when it has no child elements), and attributes of the
// XML namespace ordinary string attributes. What the generated code then
// takes and leaves is checked by the wildcards and mixed corpus cases.
#include <gtest/gtest.h>

#include "SchemaText.h"
#include "generators/emit/DataCode.h"
#include "generators/model/DataModel.h"

namespace kx::gen {
namespace {

const KxCString kOpen = schemaText("urn:open", R"(
  <xs:complexType name="Item">
    <xs:sequence>
      <xs:element name="name" type="xs:string"/>
      <xs:any namespace="##other" processContents="lax" minOccurs="0" maxOccurs="unbounded"/>
      <xs:element name="price" type="xs:decimal"/>
      <xs:any namespace="##local ##targetNamespace urn:x" processContents="skip" minOccurs="0"/>
      <xs:any/>
    </xs:sequence>
    <xs:attribute name="id" type="xs:string"/>
    <xs:attribute ref="xml:lang"/>
    <xs:anyAttribute namespace="##other"/>
  </xs:complexType>
  <xs:complexType name="Special">
    <xs:complexContent><xs:extension base="t:Item">
      <xs:sequence><xs:element name="extra" type="xs:string"/></xs:sequence>
      <xs:attribute name="grade" type="xs:int"/>
      <xs:anyAttribute/>
    </xs:extension></xs:complexContent>
  </xs:complexType>
  <xs:complexType name="Para" mixed="true">
    <xs:choice minOccurs="0" maxOccurs="unbounded">
      <xs:element name="b" type="xs:string"/>
    </xs:choice>
  </xs:complexType>
  <xs:complexType name="Link">
    <xs:complexContent mixed="true"><xs:extension base="t:Para"/></xs:complexContent>
  </xs:complexType>
  <xs:complexType name="Code" mixed="true">
    <xs:attribute name="lang" type="xs:string"/>
  </xs:complexType>
  <xs:complexType name="Choosy">
    <xs:choice><xs:element name="a" type="xs:string"/><xs:any namespace="##other"/></xs:choice>
  </xs:complexType>
  <xs:complexType name="Unordered">
    <xs:all><xs:element name="a" type="xs:string"/><xs:any namespace="##other" minOccurs="0"/>
    </xs:all>
  </xs:complexType>
)");

class OpenContentTest : public ::testing::Test {
  protected:
    OpenContentTest() : text_(kOpen), model_(buildDataModel(text_.schema())) {}

    const ClassModel& type(const char* local) const {
        for (const ClassModel& model : model_.classes) {
            if (model.type->name.local == local) {
                return model;
            }
        }
        ADD_FAILURE() << "no class for " << local;
        return model_.classes.front();
    }

    SchemaText text_;
    DataModel model_;
};

TEST_F(OpenContentTest, WildcardsAreFieldsInTheirPlaceWithTheNamespacesTheyTake) {
    const std::vector<Field>& fields = type("Item").type->fields;
    std::vector<KxCString> members;
    for (const Field& field : fields) {
        members.push_back(field.member);
    }
    EXPECT_EQ(members, (std::vector<KxCString>{"name", "any", "price", "anyElement", "anyElement2",
                                               "id", "lang", "otherAttributes"}));
    const Field& other = fields[1];
    EXPECT_TRUE(other.isWildcard && other.repeated && other.minOccurs == 0);
    EXPECT_FALSE(other.wildcard.anyNamespace);
    EXPECT_TRUE(other.wildcard.except);
    EXPECT_EQ(other.wildcard.namespaces, (std::vector<KxCString>{"", "urn:open"}));
    EXPECT_EQ(other.wildcard.processContents, "lax");
    const Field& listed = fields[3];
    EXPECT_TRUE(listed.isWildcard && listed.optional && !listed.repeated);
    EXPECT_FALSE(listed.wildcard.except);
    EXPECT_EQ(listed.wildcard.namespaces, (std::vector<KxCString>{"", "urn:open", "urn:x"}));
    const Field& required = fields[4];
    EXPECT_TRUE(required.wildcard.anyNamespace);
    EXPECT_FALSE(required.optional || required.repeated);
    EXPECT_EQ(required.wildcard.processContents, "strict");
    const FieldModel& model = type("Item").fields[1];
    EXPECT_EQ(model.storedType, "std::vector<orvo::AnyElement>");
    EXPECT_EQ(model.xmlForm,
              "any element of a namespace other than no namespace, urn:open (lax), as it stands");
    // In a choice or an all a wildcard is one more member of the group.
    for (const char* grouped : {"Choosy", "Unordered"}) {
        const DataType& group = *type(grouped).type;
        ASSERT_EQ(group.fields.size(), 2u) << grouped;
        EXPECT_TRUE(group.fields[1].isWildcard && group.fields[1].optional) << grouped;
        EXPECT_EQ(group.fields[1].group, group.fields[0].group) << grouped;
        EXPECT_GE(group.fields[1].group, 0) << grouped;
    }
}

TEST_F(OpenContentTest, OtherAttributesAreOneListPerClassAndItsBases) {
    const Field& kept = type("Item").type->fields.back();
    EXPECT_TRUE(kept.isAnyAttribute && kept.repeated);
    EXPECT_FALSE(kept.isAttribute);
    EXPECT_EQ(type("Item").fields.back().storedType, "std::vector<orvo::AnyAttribute>");
    for (const Field& field : type("Special").type->fields) {
        EXPECT_FALSE(field.isAnyAttribute) << "the base keeps them";
    }
    const Field& lang = type("Item").type->fields[6];
    EXPECT_TRUE(lang.isAttribute);
    EXPECT_EQ(lang.xml.ns, "http://www.w3.org/XML/1998/namespace");
    EXPECT_EQ(lang.xml.local, "lang");
    EXPECT_EQ(lang.cppType, "std::string");
}

TEST_F(OpenContentTest, MixedContentKeepsItsTextPiecesOrItsText) {
    const ClassModel& para = type("Para");
    const Field& pieces = para.type->fields.back();
    EXPECT_TRUE(pieces.isTextPieces && pieces.repeated);
    EXPECT_EQ(para.fields.back().storedType, "std::vector<std::string>");
    EXPECT_TRUE(para.fields.back().textPieces);
    EXPECT_TRUE(type("Link").type->fields.empty()) << "the base keeps the pieces";
    const std::vector<Field>& code = type("Code").type->fields;
    ASSERT_EQ(code.size(), 2u);
    EXPECT_TRUE(code[1].isText);
    EXPECT_EQ(code[1].cppType, "std::string");
}

}  // namespace
}  // namespace kx::gen
