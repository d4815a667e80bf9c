// usage: kx_tryit_requests PROJECT_DIR PORT CONTEXT_PATH
// Posts each operation of a served project as the try-it page builds it from operations.xml,
// required fields filled with samples. PASS when the service read the request (an answer, an
// empty one-way answer, or a fault the implementation raised), FAIL when not.
#include <cstdlib>
#include <iostream>
#include <string>

#include "orvowizard/tryit/KxServiceDescription.h"
#include "orvowizard/tryit/KxSoapAnswer.h"
#include "orvowizard/tryit/KxSoapForm.h"
#include "orvowizard/tryit/KxSoapRequest.h"
#include "platform/net/KxHttpClient.h"

namespace {

// Empty when the service read the request, else why not.
std::string notRead(const kx::net::KxHttpReply& reply, const KxSoapOperation& operation) {
    if (operation.oneWay && (reply.status == 200 || reply.status == 202) && reply.body.empty()) {
        return {};
    }
    const KxSoapAnswer answer = readSoapAnswer(reply.body);
    const std::string status = "HTTP " + std::to_string(reply.status);
    if (!answer.wellFormed) {
        return status + ": " + answer.parseError;
    }
    // The server's own refusals of a request it could not read: a reading
    // error (with its line), a Body without the operation's element, an
    // unknown operation, another envelope version, a header to understand.
    const std::string& text = answer.faultString;
    if (answer.isFault &&
        (answer.faultCode.find("VersionMismatch") != std::string::npos ||
         answer.faultCode.find("MustUnderstand") != std::string::npos ||
         text.starts_with("line ") || text.find("holds no element") != std::string::npos ||
         text.starts_with("unknown operation") || text.find("has no Body") != std::string::npos)) {
        return "fault " + answer.faultCode + ": " + text;
    }
    return answer.isFault || reply.status == 200 ? std::string() : status;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: kx_tryit_requests PROJECT_DIR PORT CONTEXT_PATH\n";
        return 2;
    }
    const KxServiceDescription description = readServiceDescription(argv[1]);
    if (!description.error.empty() || description.ports.empty()) {
        std::cout << "FAIL try-it: no ports " << description.error << "\n";
        return 1;
    }
    int failures = 0;
    for (const KxSoapPort& served : description.ports) {
        for (const KxSoapOperation& operation : served.operations) {
            // A sample in each required text field left empty, as a user fills it.
            KxFormValues values;
            for (const KxFormRow& row : formRows(operation, values)) {
                if (row.kind == KxFormRow::Kind::Field && !row.optional && row.value.empty() &&
                    row.control == "text") {
                    values["v:" + row.path] = row.sample;
                }
            }
            const KxSoapRequest request = buildSoapRequest(served, operation, values);
            std::string why = request.problems.empty() ? "" : request.problems.front();
            const std::string action = "\"" + operation.action + "\"";
            std::vector<std::pair<std::string, std::string>> headers = {
                {"Content-Type", "text/xml; charset=utf-8"}, {"SOAPAction", action}};
            if (served.soapVersion == "1.2") {
                headers = {
                    {"Content-Type", "application/soap+xml; charset=utf-8; action=" + action}};
            }
            try {
                if (why.empty()) {
                    why = notRead(
                        kx::net::httpRequest("POST", "127.0.0.1",
                                             static_cast<unsigned short>(std::atoi(argv[2])),
                                             argv[3] + served.path, headers, request.envelope,
                                             std::chrono::seconds(30), 1024 * 1024),
                        operation);
                }
            } catch (const kx::net::KxHttpError& error) {
                why = error.what();
            }
            std::cout << (why.empty() ? "PASS" : "FAIL") << " try-it " << served.name << "."
                      << operation.name
                      << (why.empty() ? "\n" : ": " + why + "\n" + request.envelope);
            failures += why.empty() ? 0 : 1;
        }
    }
    return failures == 0 ? 0 : 1;
}
