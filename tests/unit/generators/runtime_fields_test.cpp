// orvofields.h: the classes whose fields are read and written from a table.
// The two classes below are written the way bindgen writes such classes.
#include "generators/runtime/orvofields.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "RuntimeErrors.h"

namespace shop {

using Entry = orvo::FieldEntry;

// <price currency="x:EUR">1.50</price>: text content and an optional
// QName attribute.
struct Price {
    orvo::Decimal value;
    std::optional<orvo::QName> currency;

    static orvo::FieldTable fields() {
        static constexpr Entry table[] = {
            {Entry::Kind::Text, Entry::Occurs::One, 0, "", "", "",
             &orvo::simpleField<orvo::Decimal>},
            {Entry::Kind::Attribute, Entry::Occurs::Optional, 0, "", "currency", "currency",
             &orvo::simpleField<std::optional<orvo::QName>>}};
        return {table, 2, [](void* o, std::size_t i) -> void* {
                    Price& p = *static_cast<Price*>(o);
                    return i == 0 ? static_cast<void*>(&p.value) : &p.currency;
                }};
    }
    void readXml(const orvo::Element& element) {
        orvo::clearFields(this, fields());
        orvo::readFieldAttributes(element, this, fields());
    }
    void writeXml(orvo::Writer& out, std::string_view ns, std::string_view local) const {
        out.start(ns, local);
        orvo::writeFieldAttributes(out, this, fields());
        orvo::writeFieldContent(out, this, fields());
        out.end();
    }
};

// An order: a required id, a required price, an optional note, one or
// more quantities and any number of further prices.
struct Order {
    std::string id;
    Price price;
    std::optional<std::string> note;
    std::vector<int> quantities;
    std::vector<Price> extras;

    static orvo::FieldTable fields() {
        static constexpr Entry table[] = {
            {Entry::Kind::Attribute, Entry::Occurs::One, 0, "", "id", "id",
             &orvo::simpleField<std::string>},
            {Entry::Kind::Element, Entry::Occurs::One, 0, "urn:shop", "price", "{urn:shop}price",
             &orvo::classField<Price>},
            {Entry::Kind::Element, Entry::Occurs::Optional, 0, "urn:shop", "note", "{urn:shop}note",
             &orvo::simpleField<std::optional<std::string>>},
            {Entry::Kind::Element, Entry::Occurs::Many, 1, "urn:shop", "qty", "{urn:shop}qty",
             &orvo::simpleField<std::vector<int>>},
            {Entry::Kind::Element, Entry::Occurs::Many, 0, "urn:shop", "extra", "{urn:shop}extra",
             &orvo::classField<std::vector<Price>>}};
        return {table, 5, [](void* o, std::size_t i) -> void* {
                    Order& r = *static_cast<Order*>(o);
                    void* const stored[] = {&r.id, &r.price, &r.note, &r.quantities, &r.extras};
                    return stored[i];
                }};
    }
    void readXml(const orvo::Element& element) {
        orvo::clearFields(this, fields());
        orvo::readFieldAttributes(element, this, fields());
        if (const orvo::Element rest =
                orvo::readFieldElements(element, element.firstChild(), this, fields())) {
            orvo::refuseUnexpected(rest, element);
        }
    }
    std::string toXml() const {
        static const orvo::PreferredPrefix prefixes[] = {{"s", "urn:shop"}};
        return orvo::writeDocument(prefixes, 1, this, [](orvo::Writer& out, const void* order) {
            out.start("urn:shop", "order");
            orvo::writeFieldAttributes(out, order, fields());
            orvo::writeFieldContent(out, order, fields());
            out.end();
        });
    }
};

Order read(const std::string& xml) {
    Order order;
    orvo::readDocument(
        xml, "urn:shop", "order", "{urn:shop}order", &order,
        [](const orvo::Element& root, void* o) { static_cast<Order*>(o)->readXml(root); });
    return order;
}

}  // namespace shop

namespace {

using runtimetest::errorOf;

const char* const kOrder =
    "<s:order xmlns:s='urn:shop' xmlns:m='urn:money' id='A7'>"
    "<s:price currency='m:EUR'>1.50</s:price><s:qty>2</s:qty><s:qty>3</s:qty>"
    "<s:extra>0.25</s:extra><s:extra currency='m:USD'>4</s:extra></s:order>";

TEST(FieldTables, ReadEveryKindOfFieldAndWriteItBackInOrder) {
    const shop::Order order = shop::read(kOrder);
    EXPECT_EQ(order.id, "A7");
    EXPECT_EQ(orvo::toText(order.price.value), "1.50");
    ASSERT_TRUE(order.price.currency.has_value());
    EXPECT_EQ(order.price.currency->ns, "urn:money");
    EXPECT_FALSE(order.note.has_value());
    EXPECT_EQ(order.quantities, (std::vector<int>{2, 3}));
    ASSERT_EQ(order.extras.size(), 2u);
    EXPECT_FALSE(order.extras[0].currency.has_value());

    // Written with the writer's own prefixes, the QName's bound where it
    // is written; read again, the same values come back.
    const std::string written = order.toXml();
    EXPECT_NE(written.find("currency=\"m:EUR\""), std::string::npos) << written;
    EXPECT_NE(written.find("<s:qty>2</s:qty><s:qty>3</s:qty><s:extra>0.25</s:extra>"),
              std::string::npos)
        << written;
    EXPECT_EQ(shop::read(written).toXml(), written);
}

TEST(FieldTables, RefuseWhatTheFieldsDoNotAllowWithTheNameAndLine) {
    const struct {
        const char* xml;
        const char* message;
    } cases[] = {
        {"<order xmlns='urn:shop'><price>1</price><qty>1</qty></order>",
         "the element {urn:shop}order lacks its attribute id"},
        {"<order xmlns='urn:shop' id='a'>\n<qty>1</qty></order>",
         "the element {urn:shop}order lacks its child {urn:shop}price (found {urn:shop}qty in its "
         "place)"},
        {"<order xmlns='urn:shop' id='a'><price>1</price><note/></order>",
         "the element {urn:shop}order lacks its child {urn:shop}qty"},
        {"<order xmlns='urn:shop' id='a'><price>1</price><qty>1</qty>\n<note/></order>",
         "the element {urn:shop}note is not expected in {urn:shop}order"},
        {"<order xmlns='urn:shop' id='a'><price>1</price>\n<qty>x</qty></order>",
         "'x' is not an integer in {urn:shop}qty"},
    };
    for (const auto& c : cases) {
        const orvo::XmlError error = errorOf([&] { shop::read(c.xml); });
        EXPECT_NE(error.message().find(c.message), std::string::npos) << error.message();
        EXPECT_EQ(error.line(), std::string(c.xml).find('\n') == std::string::npos ? 1 : 2)
            << c.xml;
    }
}

TEST(FieldTables, AnObjectReadAgainKeepsNothingOfWhatItHeld) {
    shop::Order order = shop::read(kOrder);
    order.note = "old";
    const orvo::Document again = orvo::Document::parse(
        "<order xmlns='urn:shop' id='B'><price>2</price><qty>9</qty></order>");
    order.readXml(again.root());
    EXPECT_EQ(order.id, "B");
    EXPECT_FALSE(order.note.has_value());
    EXPECT_FALSE(order.price.currency.has_value());
    EXPECT_EQ(order.quantities, std::vector<int>{9});
    EXPECT_TRUE(order.extras.empty());
}

}  // namespace
