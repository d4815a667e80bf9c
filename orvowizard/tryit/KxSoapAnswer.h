#pragma once
// What a service's answer says, as the try-it page shows it: a fault of
// either SOAP version, or the simple values of its result.
#include <string>
#include <utility>
#include <vector>

struct KxSoapAnswer {
    bool wellFormed = false;
    std::string parseError;
    bool isFault = false;
    std::string faultCode;
    std::string faultString;
    std::string faultDetail;
    // The result: each simple value by its path below the Body's child
    // ("Result/value", "item[2]/name", "@id" for attributes).
    std::vector<std::pair<std::string, std::string>> values;
};
KxSoapAnswer readSoapAnswer(const std::string& body);
