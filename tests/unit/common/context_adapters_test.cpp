#include "orvowizard/common/KxContextAdapters.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<KxContextObject> elementsOf(const KxContextObject& list) {
    std::vector<KxContextObject> elements;
    for (auto e = list.getAsEnumeration(); e.hasMoreElements();) {
        elements.push_back(e.nextElement());
    }
    return elements;
}

KxContextObject entriesOf(const KxContextObject& list) {
    return list.invokeMethod("entries", {});
}

TEST(KxListContextObject, EnumeratesInAppendOrderAndCountsEntries) {
    KxRecordList<DirectoryData> rows;
    auto tail = rows.before_begin();
    for (const char* dir : {"demo", "calc", "alpha"}) {
        tail = appendRecord(rows, tail, DirectoryData{dir, true, false, false, false});
    }
    const KxContextObject list = kxcreateContextObject(rows);
    std::vector<KxCString> dirs;
    for (const KxContextObject& row : elementsOf(list)) {
        dirs.push_back(row.getAttribute("dir").toString());
    }
    EXPECT_EQ(dirs, (std::vector<KxCString>{"demo", "calc", "alpha"}));
    EXPECT_EQ(entriesOf(list).toLong(), 3);
    EXPECT_FALSE(list.invokeMethod("size", {}).isValid());  // only "entries" is known
    // Each enumeration starts afresh at the first element.
    EXPECT_EQ(elementsOf(list).size(), 3u);
}

TEST(RecordContextObjects, AnswerTheirNamesExactlyWithTypedValues) {
    DirectoryData dir{"C:\\work\\demo", true, true, false, true};
    const KxContextObject row = kxcreateContextObject(dir);
    dir.dir = "changed after the value was made";
    EXPECT_EQ(row.getAttribute("dir").toString(), "C:\\work\\demo");
    EXPECT_FALSE(row.getAttribute("Dir").isValid());
    EXPECT_EQ(row.getAttribute("loadable").getType(), KxContextObject::kBoolean);

    const KxContextObject error =
        kxcreateContextObject(XmlError{false, "unused part", 7, 12, "a.wsdl", "", ""});
    EXPECT_EQ(error.getAttribute("line").getType(), KxContextObject::kLong);
    EXPECT_EQ(error.getAttribute("line").toString(), "12");
    EXPECT_EQ(error.getAttribute("column").toLong(), 7);
}

}  // namespace
