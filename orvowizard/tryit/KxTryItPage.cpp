#include "orvowizard/tryit/KxTryItPage.h"

#include <chrono>
#include <iomanip>
#include <sstream>

#include "orvowizard/common/KxContextAdapters.h"
#include "orvowizard/common/KxSessionAccessors.h"
#include "orvowizard/tryit/KxServiceDescription.h"
#include "orvowizard/tryit/KxServiceRegistry.h"
#include "orvowizard/tryit/KxSoapAnswer.h"
#include "orvowizard/tryit/KxSoapForm.h"
#include "orvowizard/tryit/KxSoapFormValues.h"
#include "orvowizard/tryit/KxSoapRequest.h"
#include "platform/base/KxText.h"
#include "platform/net/KxHttpClient.h"
#include "platform/xml/KxXmlDisplay.h"

namespace {

// What the session keeps of one operation's form at most.
constexpr std::size_t kMaxStoredForm = 256 * 1024;
constexpr const char* kSessionPrefix = "tryit";

// The laid-out, marked pieces of an XML text, or the text as one plain piece
// when it is not well-formed.
KxContextObject xmlTokens(const std::string& text) {
    std::vector<KxContextObject> tokens;
    const auto laidOut = kx::layOutXml(text);
    if (!laidOut) {
        tokens.push_back(kxcreateRecord(
            {{"cls", kxcreateContextObject("")}, {"text", kxcreateContextObject(text)}}));
    } else {
        for (const kx::XmlDisplayToken& token : *laidOut) {
            tokens.push_back(
                kxcreateRecord({{"cls", kxcreateContextObject(kx::displayClass(token.kind))},
                                {"text", kxcreateContextObject(token.text)}}));
        }
    }
    return kxcreateContextObject(std::move(tokens));
}

KxContextObject rowObject(const KxFormRow& row) {
    static const char* const kKinds[] = {"open", "close", "field", "add", "note"};
    std::vector<KxContextObject> options;
    for (const std::string& option : row.options) {
        options.push_back(
            kxcreateRecord({{"value", kxcreateContextObject(option)},
                            {"selected", kxcreateContextObject(option == row.value)}}));
    }
    return kxcreateRecord({
        {"kind", kxcreateContextObject(kKinds[static_cast<int>(row.kind)])},
        {"depth", kxcreateContextObject(static_cast<unsigned long>(row.depth))},
        {"label", kxcreateContextObject(row.label)},
        {"path", kxcreateContextObject(row.path)},
        {"control", kxcreateContextObject(row.control)},
        {"value", kxcreateContextObject(row.value)},
        {"options", kxcreateContextObject(std::move(options))},
        {"checked", kxcreateContextObject(row.checked)},
        {"optional", kxcreateContextObject(row.optional)},
        {"readOnly", kxcreateContextObject(row.readOnly)},
        {"removable", kxcreateContextObject(row.removable)},
        {"hint", kxcreateContextObject(row.hint)},
        {"sample", kxcreateContextObject(row.sample)},
    });
}

// Sends the request to the service and puts what came back into the page.
void sendRequest(KxContext& context, const KxServiceRegistry::Service& service,
                 const KxSoapPort& port, const KxSoapRequest& request) {
    std::vector<std::pair<std::string, std::string>> headers = request.headers;
    headers.emplace_back("Authorization", "token " + service.token);
    context.put("sent", kxcreateContextObject(true));
    const auto started = std::chrono::steady_clock::now();
    try {
        const kx::net::KxHttpReply reply = kx::net::httpRequest(
            "POST", "127.0.0.1", service.port, port.path, headers, request.envelope,
            KxTryItPage::kAnswerTimeout, KxTryItPage::kMaxAnswer);
        const auto took =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started);
        std::ostringstream milliseconds;
        milliseconds << std::fixed << std::setprecision(1) << took.count();
        context.put("took", milliseconds.str());
        context.put("httpStatus", kxcreateContextObject(reply.status));
        context.put("answerTokens", xmlTokens(reply.body));
        if (reply.truncated) {
            context.put("answerTruncated", kxcreateContextObject(true));
        }
        if (reply.body.empty()) {
            context.put("answerEmpty", kxcreateContextObject(true));
            return;
        }
        const KxSoapAnswer answer = readSoapAnswer(reply.body);
        if (!answer.wellFormed) {
            context.put("answerError", answer.parseError);
            return;
        }
        if (answer.isFault) {
            context.put("fault", kxcreateContextObject(true));
            context.put("faultCode", answer.faultCode);
            context.put("faultString", answer.faultString);
            context.put("faultDetail", answer.faultDetail);
            return;
        }
        std::vector<KxContextObject> values;
        for (const auto& [path, value] : answer.values) {
            values.push_back(kxcreateRecord(
                {{"path", kxcreateContextObject(path)}, {"value", kxcreateContextObject(value)}}));
        }
        context.put("resultValues", kxcreateContextObject(std::move(values)));
    } catch (const kx::net::KxHttpError& error) {
        context.put("sendError", KxCString(error.what()));
    }
}

// The port asked for (else the first), and the list of ports to switch to.
const KxSoapPort& putPorts(KxContext& context, const KxServiceDescription& description,
                           const KxCString& portName, unsigned short servicePort) {
    const KxSoapPort* port = description.port(portName);
    if (port == nullptr) {
        port = &description.ports.front();
    }
    context.put("portName", port->name);
    context.put("serviceUrl", "http://127.0.0.1:" + std::to_string(servicePort) + port->path);
    context.put("soapVersion", port->soapVersion);
    std::vector<KxContextObject> ports;
    for (const KxSoapPort& each : description.ports) {
        ports.push_back(kxcreateRecord({{"name", kxcreateContextObject(each.name)},
                                        {"current", kxcreateContextObject(&each == port)}}));
    }
    context.put("ports", kxcreateContextObject(std::move(ports)));
    return *port;
}

// The port's operations, and the one asked for when there is one.
const KxSoapOperation* putOperations(KxContext& context, const KxSoapPort& port,
                                     const KxCString& operationName) {
    std::vector<KxContextObject> operations;
    for (const KxSoapOperation& each : port.operations) {
        operations.push_back(kxcreateRecord({
            {"name", kxcreateContextObject(each.name)},
            {"current", kxcreateContextObject(each.name == operationName)},
            {"documentation", kxcreateContextObject(each.documentation)},
        }));
    }
    context.put("operations", kxcreateContextObject(std::move(operations)));
    const KxSoapOperation* operation = port.operation(operationName);
    if (operation == nullptr) {
        return nullptr;
    }
    context.put("operation", operation->name);
    context.put("action", operation->action);
    context.put("style", operation->style);
    context.put("documentation", operation->documentation);
    if (operation->oneWay) {
        context.put("oneWay", kxcreateContextObject(true));
    }
    if (operation->truncated) {
        context.put("truncated", kxcreateContextObject(true));
    }
    return operation;
}

// The form's values: as sent, else as the session kept them from the last
// request; a reset forgets them, a button changes the repeats.
KxFormValues formValues(KxHttpServletRequest& request, KxHttpSession& session, const KxCString& key,
                        const KxSoapOperation& operation, const KxCString& action) {
    const bool posted = request.getMethod() == "POST";
    KxFormValues values = posted ? formValuesOf(request)
                                 : decodeFormValues(getSessionString(session, key, kSessionPrefix));
    if (action == "reset") {
        values.clear();
        session.removeAttribute(kSessionPrefix + key);
    } else {
        applyFormAction(operation, values, action);
    }
    return values;
}

// Keeps the values for the next visit, makes the request, and sends it
// unless a required value is missing.
void send(KxContext& context, KxHttpSession& session, const KxCString& key,
          const KxServiceRegistry::Service& service, const KxSoapPort& port,
          const KxSoapOperation& operation, const KxFormValues& values) {
    const std::string stored = encodeFormValues(values);
    if (stored.size() <= kMaxStoredForm) {
        setSessionString(session, key, stored, kSessionPrefix, false);
    }
    const KxSoapRequest soapRequest = buildSoapRequest(port, operation, values);
    context.put("requestTokens", xmlTokens(soapRequest.envelope));
    if (!soapRequest.problems.empty()) {
        KxRecordList<KxCString> problems(soapRequest.problems.begin(), soapRequest.problems.end());
        context.put("problems", kxcreateContextObject(problems));
    } else {
        sendRequest(context, service, port, soapRequest);
    }
}

}  // namespace

KxTemplate KxTryItPage::processRequest(KxHttpServletRequest& request, KxHttpServletResponse&,
                                       KxContext& context) {
    KxHttpSession& session = request.getSession(1);
    const KxCString dir = request.getParameter("dir");
    context.put("dir", dir);
    const auto service = dir.empty() ? std::nullopt : KxServiceRegistry::shared().find(dir);
    if (!service || !service->running) {
        context.put("notRunning", kxcreateContextObject(true));
        return parseFile("tryit.tl");
    }
    const KxServiceDescription description = readServiceDescription(dir);
    if (!description.error.empty() || description.ports.empty()) {
        context.put("descriptionError", description.error.empty()
                                            ? KxCString("The service describes no ports.")
                                            : KxCString(description.error));
        return parseFile("tryit.tl");
    }
    const KxSoapPort& port =
        putPorts(context, description, request.getParameter("port"), service->port);
    const KxSoapOperation* operation = putOperations(context, port, request.getParameter("op"));
    if (operation == nullptr) {
        return parseFile("tryit.tl");
    }
    const KxCString key = service->folder + "|" + port.name + "|" + operation->name;
    const KxCString action =
        request.getMethod() == "POST" ? request.getParameter("action") : KxCString();
    const KxFormValues values = formValues(request, session, key, *operation, action);
    std::vector<KxContextObject> rows;
    for (const KxFormRow& row : formRows(*operation, values)) {
        rows.push_back(rowObject(row));
    }
    context.put("rows", kxcreateContextObject(std::move(rows)));
    if (action == "send") {
        send(context, session, key, *service, port, *operation, values);
    }
    return parseFile("tryit.tl");
}
