// Validators, ranges and content coding as the container reads them from request headers.
#include "platform/container/KxHttpConventions.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <tuple>
#include <vector>

namespace kx::container {
namespace {

using Kind = KxRangeRequest::Kind;

TEST(HttpConventions, RangesOfATenByteBody) {
    for (const auto& [header, kind, first, last] :
         std::vector<std::tuple<std::string, Kind, std::uint64_t, std::uint64_t>>{
             {"bytes=0-3", Kind::Partial, 0, 3},
             {"bytes=2-", Kind::Partial, 2, 9},
             {"bytes=-3", Kind::Partial, 7, 9},
             {"bytes=-30", Kind::Partial, 0, 9},  // more than there is: all of it
             {"bytes=5-99", Kind::Partial, 5, 9},
             {"BYTES= 9-9", Kind::Partial, 9, 9},
             {"bytes=10-", Kind::Unsatisfiable, 0, 0},
             {"bytes=10-12", Kind::Unsatisfiable, 0, 0},
             {"bytes=-0", Kind::Unsatisfiable, 0, 0},
             {"bytes=99999999999999999999999-", Kind::Unsatisfiable, 0, 0},
             {"bytes=4-2", Kind::Whole, 0, 0},  // invalid: ignored
             {"bytes=0-1,4-5", Kind::Whole, 0, 0},
             {"lines=1-2", Kind::Whole, 0, 0},
             {"bytes=a-b", Kind::Whole, 0, 0},
             {"bytes=-", Kind::Whole, 0, 0},
             {"bytes=+1-2", Kind::Whole, 0, 0}}) {
        const KxRangeRequest range = parseRange(header, 10);
        EXPECT_EQ(range.kind, kind) << header;
        if (kind == Kind::Partial) {
            EXPECT_EQ(std::tie(range.first, range.last), std::tie(first, last)) << header;
        }
    }
    EXPECT_EQ(parseRange("bytes=-5", 0).kind, Kind::Unsatisfiable);
}

TEST(HttpConventions, AcceptEncodingWithQualities) {
    for (const char* yes : {"gzip", "gzip, deflate, br", "br;q=1.0, GZIP;q=0.5", "x-gzip", "*",
                            "gzip;q=0.001", "identity, *;q=0.3"}) {
        EXPECT_TRUE(acceptsGzip(yes)) << yes;
    }
    // A named coding wins over *; a malformed q is a refusal.
    for (const char* no : {"", "identity", "deflate, br", "gzip;q=0", "gzip; q=0.000", "*;q=0",
                           "gzip;q=0, *", "*, gzip;q=0", "gzip;q=2", "gzip;q=1.5", "gzipped"}) {
        EXPECT_FALSE(acceptsGzip(no)) << no;
    }
}

TEST(HttpConventions, IfNoneMatchComparesWeakly) {
    const std::string tag = "\"a-1\"";
    // A comma inside a tag is no separator.
    for (const char* hit :
         {"\"a-1\"", "W/\"a-1\"", "\"x\", \"a-1\"", "  *  ", "\"a,1\", \"a-1\""}) {
        EXPECT_TRUE(noneMatchHits(hit, tag)) << hit;
    }
    for (const char* miss : {"\"a-1-gz\"", "\"a-2\"", "a-1", "", "\"a-1"}) {
        EXPECT_FALSE(noneMatchHits(miss, tag)) << miss;
    }
    // The coded representation has a tag of its own, matched only by it.
    EXPECT_EQ(gzipEntityTag(tag), "\"a-1-gz\"");
    EXPECT_FALSE(noneMatchHits(tag, gzipEntityTag(tag)));
    // Size and nanoseconds both count.
    EXPECT_NE(makeEntityTag(10, 1), makeEntityTag(10, 2));
    EXPECT_NE(makeEntityTag(10, 1), makeEntityTag(11, 1));
    EXPECT_EQ(makeEntityTag(500, 0x17e0c8a2b4c5d6e7), "\"1f4-17e0c8a2b4c5d6e7\"");
    EXPECT_EQ(makeEntityTag(0, -1), "\"0-ffffffffffffffff\"");
}

TEST(HttpConventions, HttpDatesInTheirThreeForms) {
    for (const auto& [time, text] :
         {std::pair<std::time_t, const char*>{784111777, "Sun, 06 Nov 1994 08:49:37 GMT"},
          {0, "Thu, 01 Jan 1970 00:00:00 GMT"},
          {951782400, "Tue, 29 Feb 2000 00:00:00 GMT"},
          {253402300799, "Fri, 31 Dec 9999 23:59:59 GMT"},
          {253402300800, "Sat, 01 Jan 10000 00:00:00 GMT"}}) {
        EXPECT_EQ(formatHttpDate(time), text) << time;
    }
    for (const char* text : {"Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT",
                             "Sun Nov  6 08:49:37 1994"}) {
        EXPECT_EQ(parseHttpDate(text), std::optional<std::time_t>(784111777)) << text;
    }
    for (const char* text : {"", "yesterday", "Sun, 06 Nov 1994 08:49:37 GMT+1", "784111777"}) {
        EXPECT_EQ(parseHttpDate(text), std::nullopt) << text;
    }
}

TEST(HttpConventions, TextTypesAreCompressedAndGzipRoundTrips) {
    for (const char* type : {"text/html; charset=utf-8", "text/css", "application/soap+xml; a=b",
                             "Application/JSON", "image/svg+xml", "application/javascript"}) {
        EXPECT_TRUE(isCompressibleType(type)) << type;
    }
    for (const char* type : {"image/png", "application/zip", "text/event-stream", ""}) {
        EXPECT_FALSE(isCompressibleType(type)) << type;
    }
    const std::string text(5000, 'k');
    auto coded = gzipCompress(text);
    ASSERT_TRUE(coded);
    EXPECT_LT(coded->size(), 200u);
    std::string back(text.size() + 1, '\0');
    z_stream stream{};
    ASSERT_EQ(inflateInit2(&stream, 15 + 16), Z_OK);  // gzip wrapper only
    stream.next_in = reinterpret_cast<Bytef*>(coded->data());
    stream.avail_in = static_cast<uInt>(coded->size());
    stream.next_out = reinterpret_cast<Bytef*>(back.data());
    stream.avail_out = static_cast<uInt>(back.size());
    EXPECT_EQ(inflate(&stream, Z_FINISH), Z_STREAM_END);
    back.resize(stream.total_out);
    inflateEnd(&stream);
    EXPECT_EQ(back, text);
}

TEST(HttpConventions, GzipCacheKeepsOneVersionPerFileWithinItsBound) {
    KxGzipCache cache(10);
    auto data = [](std::size_t size) { return std::make_shared<const std::string>(size, 'x'); };
    cache.insert("a.css", "v1", data(4));
    EXPECT_TRUE(cache.find("a.css", "v1"));
    EXPECT_FALSE(cache.find("a.css", "v2"));
    cache.insert("a.css", "v2", data(4));  // replaces v1
    EXPECT_FALSE(cache.find("a.css", "v1"));
    cache.insert("b.css", "v1", data(4));
    cache.insert("c.css", "v1", data(4));  // over the bound: the oldest goes
    EXPECT_FALSE(cache.find("a.css", "v2"));
    EXPECT_TRUE(cache.find("b.css", "v1"));
    cache.insert("huge.css", "v1", data(11));  // never kept
    EXPECT_FALSE(cache.find("huge.css", "v1"));
    EXPECT_TRUE(cache.find("c.css", "v1"));
}

}  // namespace
}  // namespace kx::container
