#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/servlet/KxHttpSession.h"
#include "platform/servlet/KxServletException.h"
#include "platform/servlet/KxServletRequest.h"
#include "platform/servlet/KxServletResponse.h"

namespace {

struct IntBody : KxServletAttributeImpl {
    explicit IntBody(int v) : value(v) {}
    int value;
};

std::vector<KxCString> namesOf(const KxServletRequest& request) {
    std::vector<KxCString> names;
    for (auto e = request.getParameterNames(); e.hasMoreElements();) {
        names.push_back(e.nextElement());
    }
    return names;
}

TEST(KxHttpServletRequest, ParametersKeepArrivalOrderFirstValueWinsHeadersIgnoreCase) {
    KxHttpServletRequest request;
    request.addParameter("oper", "generate");
    request.addParameter("make", "");
    request.addParameter("oper", "load");
    request.addParameter("filename", "C:\\x\\a.wsdl");

    EXPECT_EQ(namesOf(request), (std::vector<KxCString>{"oper", "make", "filename"}));
    EXPECT_EQ(request.getParameter("oper"), "generate");
    EXPECT_TRUE(request.hasParameter("make"));
    EXPECT_EQ(request.getParameter("make"), "");
    EXPECT_FALSE(request.hasParameter("type"));
    EXPECT_EQ(request.getParameter("type"), "");

    request.addHeader("Content-Type", "text/html");
    EXPECT_EQ(request.getHeader("content-type"), "text/html");
    EXPECT_EQ(request.getHeader("Host"), "");
}

TEST(KxHttpServletRequest, GetSessionCreatesOnceThroughTheProvider) {
    KxHttpServletRequest request;
    int made = 0;
    request.setSessionProvider([&] {
        ++made;
        return std::make_shared<KxHttpSession>("id-" + std::to_string(made));
    });
    EXPECT_THROW(request.getSession(0), KxServletException);
    KxHttpSession& first = request.getSession(1);
    KxHttpSession& again = request.getSession(1);
    EXPECT_EQ(&first, &again);
    EXPECT_EQ(first.getId(), "id-1");
    EXPECT_EQ(made, 1);
    EXPECT_TRUE(first.isNew());
}

TEST(KxHttpSession, AttributesReplaceAbsentKeysGiveEmptyHandlesNegativeIntervalsNeverExpire) {
    KxHttpSession session("s");
    EXPECT_FALSE(session.getAttribute("serverprojectDir").isValid());

    KxServletAttribute attribute;
    attribute.setImpl(new IntBody(1));
    session.setAttribute("k", attribute);
    attribute.setImpl(new IntBody(2));  // the stored copy keeps its own body
    EXPECT_EQ(dynamic_cast<const IntBody*>(session.getAttribute("k").getImpl())->value, 1);

    session.setAttribute("k", attribute);
    EXPECT_EQ(dynamic_cast<const IntBody*>(session.getAttribute("k").getImpl())->value, 2);
    EXPECT_EQ(session.getAttributeNames(), std::vector<KxCString>{"k"});
    session.removeAttribute("k");
    EXPECT_FALSE(session.getAttribute("k").isValid());

    // A negative interval never expires.
    const auto later = KxHttpSession::Clock::now() + std::chrono::hours(24 * 365);
    EXPECT_TRUE(session.isExpired(later));
    session.setMaxInactiveInterval(-1);
    EXPECT_FALSE(session.isExpired(later));
}

TEST(KxHttpSession, TwoRequestsOfOneBrowserMayWriteAtOnce) {
    KxHttpSession session;
    std::atomic<bool> bad{false};
    auto writer = [&](int base) {
        for (int i = 0; i < 2000; ++i) {
            KxServletAttribute attribute;
            attribute.setImpl(new IntBody(base + i));
            session.setAttribute("key" + std::to_string(i % 7), attribute);
            const KxServletAttribute read = session.getAttribute("key" + std::to_string(i % 5));
            if (read.isValid() && !dynamic_cast<const IntBody*>(read.getImpl())) {
                bad = true;
            }
        }
    };
    std::thread a(writer, 0), b(writer, 100000);
    a.join();
    b.join();
    EXPECT_FALSE(bad);
    EXPECT_EQ(session.getAttributeNames().size(), 7u);
}

TEST(KxServletResponse, PayloadFileIsOwnedClosedOnceAndReplacesText) {
    auto isOpen = [](int fd) { return ::fcntl(fd, F_GETFD) != -1; };
    const int first = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int second = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int third = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_TRUE(first >= 0 && second >= 0 && third >= 0);
    {
        KxHttpServletResponse response;
        response.write("text before");
        response.setPayloadFile(first);
        EXPECT_TRUE(response.hasPayload());
        EXPECT_TRUE(response.getPayload().empty());
        response.setPayloadFile(second);  // the first is closed
        EXPECT_FALSE(isOpen(first));

        // A move hands the descriptor over: only the new owner closes it.
        KxHttpServletResponse moved(std::move(response));
        EXPECT_EQ(moved.getPayloadFile(), second);
        EXPECT_EQ(response.getPayloadFile(), -1);
        EXPECT_TRUE(isOpen(second));
    }
    EXPECT_FALSE(isOpen(second));
    KxHttpServletResponse text;
    text.setPayloadFile(third);
    text.setPayload("<p>text</p>");
    EXPECT_FALSE(isOpen(third));
    EXPECT_EQ(text.getPayload(), "<p>text</p>");
}

}  // namespace
