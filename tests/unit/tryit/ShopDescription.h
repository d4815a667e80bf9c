#pragma once
// A service description with every kind of item, shared by the tests of the
// form, its values and the request made from them.
#include <gtest/gtest.h>

#include <string>

#include "orvowizard/tryit/KxServiceDescription.h"
#include "orvowizard/tryit/KxSoapFormValues.h"

// A document-style port with every kind of item, an rpc operation and a SOAP 1.2 port.
inline const char* const kShopDescription = R"(<?xml version="1.0"?>
<operations wsdl="shop.wsdl">
  <port name="ShopPort" path="/shop" address="http://localhost:8090/shop" soap="1.1">
    <operation name="order" action="urn:shop#order" style="document" one-way="false">
      <documentation>Places an order.</documentation>
      <input>
        <element name="Order" ns="urn:shop" min="1" max="1">
          <attribute name="id" ns="" type="int" required="true"/>
          <attribute name="channel" ns="" type="string" required="false" default="web"/>
          <element name="customer" ns="urn:shop" type="string" min="1" max="1"/>
          <element name="express" ns="urn:shop" type="boolean" min="1" max="1"/>
          <element name="size" ns="urn:shop" type="string" min="0" max="1">
            <value>S</value><value>M</value><value>L</value>
          </element>
          <element name="item" ns="urn:shop" min="1" max="unbounded">
            <element name="sku" ns="urn:shop" type="string" min="1" max="1"/><element
                name="count" ns="urn:shop" type="int" min="1" max="1"/>
          </element>
          <element name="note" ns="urn:shop" min="0" max="1">
            <text type="string"/>
            <attribute name="lang" ns="http://www.w3.org/XML/1998/namespace" type="string" required="false"/>
          </element>
          <choice min="1" max="1">
            <element name="card" ns="urn:shop" type="string" min="1" max="1"/>
            <element name="invoice" ns="urn:pay" min="1" max="1">
              <element name="vat" ns="" type="string" min="1" max="1" nillable="true"/>
            </element>
          </choice>
          <element name="parent" ns="urn:shop" min="0" max="1" recursive="true"/>
        </element>
      </input>
    </operation>
    <operation name="add" action="" style="rpc">
      <input wrapper="add" wrapper-ns="urn:calc">
        <element name="a" ns="" type="int" min="1" max="1"/>
        <element name="b" ns="" type="int" min="1" max="1"/>
      </input>
    </operation>
    <operation name="ping" action="" style="document" one-way="true"><input/></operation>
  </port>
  <port name="Shop12" path="/shop12" address="" soap="1.2"><operation name="ping"
    action="urn:ping"><input/></operation></port>
</operations>)";

// A repeated element inside a repeated element: the form's counts multiply.
inline const char* const kNestedRepeats =
    R"(<operations><port name="P" path="/p"><operation name="o"><input>
       <element name="outer" ns="" min="1" max="unbounded">
         <element name="inner" ns="" type="int" min="1" max="unbounded"/>
       </element></input></operation></port></operations>)";

// 100 outer items of 100 inner ones each, far past what a form may hold.
inline KxFormValues hundredByHundred() {
    KxFormValues values{{"n:0", "100"}};
    for (int k = 0; k < 100; ++k) {
        values["n:0#" + std::to_string(k) + ".0"] = "100";
    }
    return values;
}

class ShopService : public testing::Test {
  protected:
    void SetUp() override {
        description = parseServiceDescription(kShopDescription, "operations.xml");
        ASSERT_EQ(description.error, "");
        port = description.port("ShopPort");
        ASSERT_NE(port, nullptr);
        order = port->operation("order");
        ASSERT_NE(order, nullptr);
    }

    // A complete order: item 0 given, the card chosen.
    static KxFormValues complete() {
        return {{"v:0.0", "42"},      {"v:0.2", "ann & <bob>"}, {"v:0.3", "true"},
                {"v:0.5#0.0", "A-1"}, {"v:0.5#0.1", "2"},       {"v:0.7.0", "4111"}};
    }

    KxServiceDescription description;
    const KxSoapPort* port = nullptr;
    const KxSoapOperation* order = nullptr;
};
