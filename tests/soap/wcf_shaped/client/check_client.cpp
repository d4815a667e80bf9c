// Calls the lookup service through the generated client in both SOAP
// versions: SOAP 1.1 at the address given, SOAP 1.2 at its "/soap12" below
// it (as the WSDL file's ports stand), and prints one line per answer
// (check_line.h).
#include <string>

#include "ILookupClientProxy.h"
#include "check_line.h"

namespace {

std::string described(ILookupClientProxy& caller, const std::string& code) {
    kxtest_lookup_messages::Find find;
    find.setCode(code);
    const auto result = caller.Find(find).getFindResult();
    if (!result) {
        return "absent";
    }
    if (!*result) {
        return "nil";
    }
    const kxtest_lookup_data::Item& item = **result;
    std::string text = item.getCode() + " " + item.getName() + " " + orvo::toText(item.getPrice());
    for (const std::string& tag : item.getTags()) {
        text += " #" + tag;
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string endpoint = endpointOf(argc, argv);
    ILookupClientProxy soap11(endpoint);
    ILookupClientProxy soap12(endpoint + "/soap12");
    soap12.setSoapVersion(orvo::SoapVersion::Soap12);

    for (auto* proxy : {&soap11, &soap12}) {
        const std::string version =
            proxy->soapVersion() == orvo::SoapVersion::Soap12 ? "1.2" : "1.1";
        for (const char* code : {"A-1", "K-7", "nope"}) {
            line("SOAP " + version + " Find " + code, [&] { return described(*proxy, code); });
        }
    }
    line("SOAP 1.1 Count", [&] { return std::to_string(soap11.Count({}).getCountResult()); });
    line("SOAP 1.2 Count", [&] { return std::to_string(soap12.Count({}).getCountResult()); });

    // The default endpoint follows the version: each binding's port.
    ILookupClientProxy defaults;
    line("default endpoint", [&] { return defaults.endpoint(); });
    defaults.setSoapVersion(orvo::SoapVersion::Soap12);
    line("default endpoint of SOAP 1.2", [&] { return defaults.endpoint(); });
    return 0;
}
