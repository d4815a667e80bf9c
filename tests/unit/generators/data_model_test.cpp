// The code model of the data classes: every C++ name is decided once, is an
// identifier that is no keyword, and stays distinct where C++ needs it to
// (the accessors of a class and its bases, the classes of a schema); a type
// used in several places is one class; the stored types and the headers a
// class needs follow from its fields.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>

#include "SchemaText.h"
#include "generators/model/DataModel.h"
#include "generators/support/Text.h"

namespace kx::gen {
namespace {

const KxCString kOrders = schemaText("urn:orders", R"(
  <xs:complexType name="Address">
    <xs:sequence><xs:element name="street" type="xs:string"/></xs:sequence>
    <xs:attribute name="history"><xs:simpleType><xs:list itemType="t:Status"/></xs:simpleType>
    </xs:attribute>
  </xs:complexType>
  <xs:simpleType name="Status">
    <xs:restriction base="xs:string">
      <xs:enumeration value="open"/><xs:enumeration value="class"/>
      <xs:enumeration value="Open"/><xs:enumeration value="open "/>
    </xs:restriction>
  </xs:simpleType>
  <xs:complexType name="Order">
    <xs:sequence>
      <xs:element name="billTo" type="t:Address"/>
      <xs:element name="shipTo" type="t:Address" minOccurs="0"/>
      <xs:element name="for" type="xs:int"/>
      <xs:element name="name" type="xs:string"/>
      <xs:element name="Name" type="xs:string"/>
      <xs:element name="line-item" type="xs:string" maxOccurs="unbounded"/>
      <xs:element name="line_item" type="xs:string"/>
    </xs:sequence>
    <xs:attribute name="name" type="xs:string"/>
    <xs:attribute name="status" type="t:Status" default="open"/>
  </xs:complexType>
  <xs:complexType name="SpecialOrder">
    <xs:complexContent><xs:extension base="t:Order"><xs:sequence>
      <xs:element name="name" type="xs:string"/>
      <xs:element name="deliverTo" type="t:Address"/>
    </xs:sequence></xs:extension></xs:complexContent>
  </xs:complexType>
  <xs:complexType name="Node">
    <xs:sequence>
      <xs:element name="child" type="t:Node" minOccurs="0" maxOccurs="unbounded"/>
    </xs:sequence>
  </xs:complexType>
  <xs:complexType name="class"><xs:sequence/></xs:complexType>
  <xs:element name="Order">
    <xs:complexType><xs:sequence>
      <xs:element name="order" type="t:Order"/>
    </xs:sequence></xs:complexType>
  </xs:element>
)");

bool isIdentifier(const KxCString& name) {
    static const std::regex kIdentifier("[A-Za-z_][A-Za-z0-9_]*");
    return std::regex_match(name, kIdentifier) && !isCppKeyword(name);
}

// The class of the type of that local name, or of an element's own type.
const ClassModel& classOf(const DataModel& model, const char* local, bool fromElement = false) {
    for (const ClassModel& found : model.classes) {
        if (found.type->name.local == local && found.type->fromElement == fromElement) {
            return found;
        }
    }
    ADD_FAILURE() << "no class for " << local;
    return model.classes.front();
}

class DataModelTest : public ::testing::Test {
  protected:
    DataModelTest() : text_(kOrders), model_(buildDataModel(text_.schema())) {}

    const ClassModel& type(const char* local, bool fromElement = false) const {
        return classOf(model_, local, fromElement);
    }
    static const FieldModel& field(const ClassModel& model, const char* local,
                                   bool attribute = false) {
        for (const FieldModel& field : model.fields) {
            if (field.field->xml.local == local && field.field->isAttribute == attribute) {
                return field;
            }
        }
        ADD_FAILURE() << "no field " << local << " in " << model.name;
        return model.fields.front();
    }
    static bool contains(const std::vector<KxCString>& names, const KxCString& name) {
        return std::count(names.begin(), names.end(), name) == 1;
    }

    SchemaText text_;
    DataModel model_;
};

TEST_F(DataModelTest, EveryNameIsAnIdentifierAndAccessorsStayDistinctAcrossBases) {
    for (const ClassModel& model : model_.classes) {
        EXPECT_TRUE(isIdentifier(model.name)) << model.name;
        EXPECT_TRUE(isIdentifier(model.marshaller)) << model.marshaller;
        // The accessors of the class and of every base share one scope.
        std::set<KxCString> accessors;
        std::set<KxCString> members;
        for (const DataType* part : model.lineage) {
            const ClassModel& owner = model_.classes[static_cast<std::size_t>(
                std::find_if(text_.schema().types().begin(), text_.schema().types().end(),
                             [&](const DataType& t) { return &t == part; }) -
                text_.schema().types().begin())];
            for (const FieldModel& field : owner.fields) {
                EXPECT_TRUE(isIdentifier(field.name)) << field.name;
                EXPECT_TRUE(isIdentifier(field.member)) << field.member;
                EXPECT_TRUE(accessors.insert(field.accessor).second)
                    << model.name << " has the accessor " << field.accessor << " twice";
                EXPECT_TRUE(members.insert(field.member).second) << field.member;
            }
        }
    }
    std::set<KxCString> classes;
    for (const ClassModel& model : model_.classes) {
        EXPECT_TRUE(classes.insert(model.name).second) << "two classes " << model.name;
    }
}

TEST_F(DataModelTest, ATypeUsedInSeveralPlacesIsOneClass) {
    const auto addresses =
        std::count_if(model_.classes.begin(), model_.classes.end(),
                      [](const ClassModel& m) { return m.type->name.local == "Address"; });
    EXPECT_EQ(addresses, 1);
    const ClassModel& address = type("Address");
    for (const FieldModel* use : {&field(type("Order"), "billTo"), &field(type("Order"), "shipTo"),
                                  &field(type("SpecialOrder"), "deliverTo")}) {
        EXPECT_EQ(use->heldClass, address.name);
        EXPECT_EQ(use->valueType, address.qualifiedName);
    }
    EXPECT_TRUE(contains(type("Order").headerIncludes, address.name));
}

TEST_F(DataModelTest, StoredTypesFollowOccurrence) {
    const ClassModel& order = type("Order");
    const KxCString address = type("Address").qualifiedName;
    EXPECT_EQ(field(order, "billTo").storedType, address);
    EXPECT_EQ(field(order, "shipTo").storedType, "std::optional<" + address + ">");
    EXPECT_EQ(field(order, "line-item").storedType, "std::vector<std::string>");
    EXPECT_EQ(field(order, "line-item").itemType, "std::string");
    EXPECT_TRUE(field(order, "for").storedScalar);
    EXPECT_FALSE(field(order, "shipTo").storedScalar);
    // An optional attribute with a default has it as its preset value.
    const FieldModel& status = field(order, "status", true);
    EXPECT_EQ(status.preset, "open");
    EXPECT_EQ(status.storedType, "std::optional<" + status.valueType + ">");
    EXPECT_TRUE(field(order, "name", true).preset.empty());
}

TEST_F(DataModelTest, HeadersAndForwardDeclarationsFollowTheFields) {
    const ClassModel& order = type("Order");
    EXPECT_TRUE(contains(order.headerIncludes, model_.enums.front().name));
    EXPECT_FALSE(contains(order.marshallerIncludes, order.name));
    EXPECT_TRUE(contains(order.marshallerIncludes, type("Address").name));
    // The base is included and called; the lineage runs base first.
    const ClassModel& special = type("SpecialOrder");
    EXPECT_EQ(special.baseName, order.name);
    EXPECT_TRUE(contains(special.headerIncludes, order.name));
    EXPECT_TRUE(contains(special.marshallerIncludes, order.name));
    ASSERT_EQ(special.lineage.size(), 2u);
    EXPECT_EQ(special.lineage.front(), order.type);
    // The base reads the derived type an element names with xsi:type, and
    // holds it: its source includes the derived class's header.
    ASSERT_EQ(order.derivedTypes.size(), 1u);
    EXPECT_EQ(order.derivedTypes.front(), &special);
    EXPECT_TRUE(order.holdsDerived && special.typed && !special.holdsDerived && !order.typed);
    EXPECT_TRUE(contains(order.sourceIncludes, special.name));
    // A class that holds itself does so by pointer: declared ahead, its
    // header included by the source only.
    const ClassModel& node = type("Node");
    EXPECT_EQ(field(node, "child").itemType, "std::shared_ptr<" + node.qualifiedName + ">");
    ASSERT_EQ(node.forwardDeclarations.size(), 1u);
    EXPECT_EQ(node.forwardDeclarations.front().className, node.name);
    EXPECT_FALSE(contains(node.headerIncludes, node.name));
    EXPECT_TRUE(contains(node.sourceIncludes, node.name));
    // A list of an enumeration is text whose items the source checks against
    // the enumeration: the source includes its header.
    const ClassModel& address = type("Address");
    EXPECT_EQ(field(address, "history", true).storedType, "std::optional<std::string>");
    EXPECT_TRUE(contains(address.sourceIncludes, model_.enums.front().name));
    EXPECT_FALSE(contains(address.headerIncludes, model_.enums.front().name));
    // The global element is the sample program's root, with its own class.
    ASSERT_EQ(model_.roots.size(), 1u);
    EXPECT_EQ(model_.roots.front().type, &type("Order", true));
}

// What the substitution corpus case cannot show: a group that names itself
// through another neither loops nor repeats a member, and an abstract
// element never stands for itself.
TEST(SubstitutionGroups, CyclesEndAndAbstractHeadsStandOnlyForMembers) {
    const SchemaText text(schemaText("urn:s", R"(
      <xs:element name="head" type="xs:string" abstract="true"/>
      <xs:element name="a" type="xs:string" substitutionGroup="t:head"/>
      <xs:element name="x" type="xs:int" substitutionGroup="t:y"/>
      <xs:element name="y" type="xs:int" substitutionGroup="t:x"/>)"));
    const auto names = [&](const char* head) {
        std::vector<KxCString> found;
        for (const QName& name : text.schema().substitutes(QName{"urn:s", head})) {
            found.push_back(name.local);
        }
        return found;
    };
    EXPECT_EQ(names("head"), (std::vector<KxCString>{"a"}));
    EXPECT_EQ(names("x"), (std::vector<KxCString>{"x", "y"}));
}

// Which classes' missingFields() walk where: what can be told unset spreads
// up through held classes (two levels, a repeated choice) and to derived
// types, and stops at classes with nothing to report, cycles among them
// included.
TEST(MissableClasses, WhatCanBeToldUnsetSpreadsToHoldersAndDerivedTypesOnly) {
    const SchemaText text(schemaText("urn:m", R"(
      <xs:complexType name="Counted"><xs:sequence>
        <xs:element name="item" type="xs:string" minOccurs="2" maxOccurs="unbounded"/>
      </xs:sequence></xs:complexType>
      <xs:complexType name="Middle"><xs:sequence>
        <xs:element name="counted" type="t:Counted" minOccurs="0"/>
        <xs:element name="plain" type="t:Plain"/>
      </xs:sequence></xs:complexType>
      <xs:complexType name="Top"><xs:sequence>
        <xs:element name="middle" type="t:Middle" minOccurs="0" maxOccurs="unbounded"/>
      </xs:sequence></xs:complexType>
      <xs:complexType name="Chooser"><xs:choice maxOccurs="unbounded">
        <xs:element name="counted" type="t:Counted"/>
        <xs:element name="plain" type="t:Plain"/>
      </xs:choice></xs:complexType>
      <xs:complexType name="Plain"><xs:sequence>
        <xs:element name="text" type="xs:string"/>
        <xs:element name="amount" type="xs:decimal" minOccurs="0"/>
      </xs:sequence><xs:attribute name="code" type="xs:string" use="required"/></xs:complexType>
      <xs:complexType name="Ping"><xs:sequence>
        <xs:element name="pong" type="t:Pong" minOccurs="0"/>
      </xs:sequence></xs:complexType>
      <xs:complexType name="Pong"><xs:sequence>
        <xs:element name="ping" type="t:Ping" minOccurs="0"/>
      </xs:sequence></xs:complexType>
      <xs:complexType name="MoreCounted"><xs:complexContent><xs:extension base="t:Counted">
        <xs:sequence><xs:element name="plain" type="t:Plain"/></xs:sequence>
      </xs:extension></xs:complexContent></xs:complexType>
      <xs:complexType name="Named"><xs:sequence>
        <xs:element name="name" type="xs:QName"/>
      </xs:sequence></xs:complexType>
      <xs:complexType name="Choosy"><xs:choice>
        <xs:element name="a" type="xs:string"/><xs:element name="b" type="xs:int"/>
      </xs:choice></xs:complexType>)"));
    const DataModel model = buildDataModel(text.schema());
    const auto of = [&](const char* local) -> const ClassModel& { return classOf(model, local); };
    const auto index = [&](const char* local) {
        return static_cast<int>(&of(local) - model.classes.data());
    };
    for (const char* local :
         {"Counted", "Middle", "Top", "Chooser", "MoreCounted", "Named", "Choosy"}) {
        EXPECT_TRUE(of(local).canMiss) << local;
    }
    for (const char* local : {"Plain", "Ping", "Pong"}) {
        EXPECT_FALSE(of(local).canMiss) << local;
        EXPECT_TRUE(of(local).walkedClasses.empty()) << local;
    }
    EXPECT_EQ(of("Middle").walkedClasses, std::vector<int>{index("Counted")});
    EXPECT_EQ(of("Top").walkedClasses, std::vector<int>{index("Middle")});
    EXPECT_EQ(of("Chooser").walkedClasses, std::vector<int>{index("Counted")});
    EXPECT_EQ(of("MoreCounted").walkedClasses, std::vector<int>{index("Counted")});
}

}  // namespace
}  // namespace kx::gen
