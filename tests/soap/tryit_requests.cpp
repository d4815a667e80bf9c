// Calls every operation of a served project the way the try-it page does:
// the form of each operation from the project's operations.xml, its
// required fields filled with sample values of their types, the envelope
// built from it and posted to the running service. Prints one line per
// operation, "PASS ..." when the service read the request (an answer, an
// empty one-way answer, or a fault the implementation raised) and
// "FAIL ..." when it did not (a fault of the server's reading, or another
// HTTP status).
//
// usage: kx_tryit_requests PROJECT_DIR PORT CONTEXT_PATH
#include <cstdlib>
#include <iostream>
#include <string>

#include "orvowizard/common/KxSoapForm.h"
#include "platform/net/KxHttpClient.h"

namespace {

// The values a user fills in: a sample in each required field left empty.
KxFormValues sampleValues(const KxSoapOperation& operation) {
    KxFormValues values;
    for (const KxFormRow& row : formRows(operation, values)) {
        if (row.kind == KxFormRow::Kind::Field && !row.optional && row.value.empty() &&
            row.control == "text") {
            values["v:" + row.path] = row.sample;
        }
    }
    return values;
}

bool readByService(const kx::net::KxHttpReply& reply, const KxSoapOperation& operation,
                   std::string& why) {
    if (operation.oneWay && (reply.status == 200 || reply.status == 202) && reply.body.empty()) {
        return true;
    }
    const KxSoapAnswer answer = readSoapAnswer(reply.body);
    if (!answer.wellFormed) {
        why = "HTTP " + std::to_string(reply.status) + ": " + answer.parseError;
        return false;
    }
    // The generated server's own refusals of a request it could not read:
    // the runtime's reading errors (with their line), a Body without the
    // operation's element, an operation it does not know, an envelope of
    // another version or a header it must understand. Other faults are the
    // implementation's verdict on values it read (no book of the sample
    // ISBN, say).
    const std::string& text = answer.faultString;
    const bool notRead =
        answer.faultCode.find("VersionMismatch") != std::string::npos ||
        answer.faultCode.find("MustUnderstand") != std::string::npos || text.starts_with("line ") ||
        text.find("holds no element") != std::string::npos ||
        text.starts_with("unknown operation") || text.find("has no Body") != std::string::npos;
    if (answer.isFault && notRead) {
        why = "fault " + answer.faultCode + ": " + answer.faultString;
        return false;
    }
    if (!answer.isFault && reply.status != 200) {
        why = "HTTP " + std::to_string(reply.status);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: kx_tryit_requests PROJECT_DIR PORT CONTEXT_PATH\n";
        return 2;
    }
    const KxServiceDescription description = readServiceDescription(argv[1]);
    if (!description.error.empty() || description.ports.empty()) {
        std::cout << "FAIL try-it: " << (description.error.empty() ? "no ports" : description.error)
                  << "\n";
        return 1;
    }
    const auto port = static_cast<unsigned short>(std::atoi(argv[2]));
    const std::string context = argv[3];
    int failures = 0;
    for (const KxSoapPort& served : description.ports) {
        for (const KxSoapOperation& operation : served.operations) {
            const std::string label = "try-it " + served.name + "." + operation.name;
            const KxSoapRequest request =
                buildSoapRequest(served, operation, sampleValues(operation));
            std::string why;
            bool passed = request.problems.empty();
            if (!passed) {
                why = request.problems.front();
            } else {
                try {
                    const auto reply = kx::net::httpRequest(
                        "POST", "127.0.0.1", port, context + served.path, request.headers,
                        request.envelope, std::chrono::seconds(30), 1024 * 1024);
                    passed = readByService(reply, operation, why);
                } catch (const kx::net::KxHttpError& error) {
                    passed = false;
                    why = error.what();
                }
            }
            std::cout << (passed ? "PASS " : "FAIL ") << label << (passed ? "" : ": " + why)
                      << "\n";
            if (!passed) {
                std::cout << request.envelope;
                ++failures;
            }
        }
    }
    return failures == 0 ? 0 : 1;
}
