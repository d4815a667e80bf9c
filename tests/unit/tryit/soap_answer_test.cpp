// Reading a service's answer: the result's values by path, and the faults
// of both SOAP versions.
#include "orvowizard/tryit/KxSoapAnswer.h"

#include <gtest/gtest.h>

namespace {

TEST(SoapAnswer, ResultsAndFaultsOfBothVersions) {
    const KxSoapAnswer result = readSoapAnswer(
        R"(<s:Envelope xmlns:s="http://schemas.xmlsoap.org/soap/envelope/"><s:Body>)"
        R"(<r:Result xmlns:r="urn:r" unit="m"><value>3</value><list><i>1</i><i>2</i></list>)"
        R"(</r:Result></s:Body></s:Envelope>)");
    ASSERT_TRUE(result.wellFormed);
    EXPECT_FALSE(result.isFault);
    EXPECT_EQ(result.values,
              (std::vector<std::pair<std::string, std::string>>{{"Result/@unit", "m"},
                                                                {"Result/value", "3"},
                                                                {"Result/list/i[1]", "1"},
                                                                {"Result/list/i[2]", "2"}}));

    const KxSoapAnswer fault11 = readSoapAnswer(
        R"(<s:Envelope xmlns:s="http://schemas.xmlsoap.org/soap/envelope/"><s:Body><s:Fault>)"
        R"(<faultcode>s:Client</faultcode><faultstring>division by zero</faultstring>)"
        R"(<detail><d:DivideFault xmlns:d="urn:d"><divisor>0</divisor></d:DivideFault></detail>)"
        R"(</s:Fault></s:Body></s:Envelope>)");
    EXPECT_TRUE(fault11.isFault);
    EXPECT_EQ(fault11.faultCode, "s:Client");
    EXPECT_EQ(fault11.faultString, "division by zero");
    EXPECT_EQ(fault11.faultDetail, "DivideFault/divisor = 0\n");

    const KxSoapAnswer fault12 = readSoapAnswer(
        R"(<e:Envelope xmlns:e="http://www.w3.org/2003/05/soap-envelope"><e:Body><e:Fault>)"
        R"(<e:Code><e:Value>e:Sender</e:Value><e:Subcode><e:Value>x:Bad</e:Value></e:Subcode>)"
        R"(</e:Code><e:Reason><e:Text xml:lang="en">bad input</e:Text></e:Reason>)"
        R"(</e:Fault></e:Body></e:Envelope>)");
    EXPECT_TRUE(fault12.isFault);
    EXPECT_EQ(fault12.faultCode, "e:Sender / x:Bad");
    EXPECT_EQ(fault12.faultString, "bad input");

    EXPECT_FALSE(readSoapAnswer("<html>oops").wellFormed);
    EXPECT_FALSE(readSoapAnswer("<a/>").wellFormed);
    EXPECT_FALSE(readSoapAnswer("").wellFormed);
}

}  // namespace
