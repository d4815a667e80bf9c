#include "orvowizard/tryit/KxTryItPage.h"

#include <charconv>
#include <chrono>
#include <iomanip>
#include <sstream>

#include "orvowizard/common/KxContextAdapters.h"
#include "orvowizard/common/KxSessionAccessors.h"
#include "orvowizard/tryit/KxServiceRegistry.h"
#include "platform/base/KxText.h"
#include "platform/net/KxHttpClient.h"
#include "platform/xml/KxXmlDisplay.h"

namespace {

// What the session keeps of one operation's form at most.
constexpr std::size_t kMaxStoredForm = 256 * 1024;
constexpr const char* kSessionPrefix = "tryit";

bool isFormKey(const std::string& name) {
    return name.size() > 2 && name[1] == ':' &&
           std::string_view("vnucx").find(name[0]) != std::string_view::npos;
}

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

}  // namespace

KxFormValues formValuesOf(const KxHttpServletRequest& request) {
    KxFormValues values;
    for (auto names = request.getParameterNames(); names.hasMoreElements();) {
        const KxCString name = names.nextElement();
        if (isFormKey(name) && !values.contains(name)) {
            values.emplace(name, request.getParameter(name));
        }
    }
    return values;
}

std::string encodeFormValues(const KxFormValues& values) {
    std::string text;
    for (const auto& [key, value] : values) {
        text += std::to_string(key.size()) + ":" + key + std::to_string(value.size()) + ":" + value;
    }
    return text;
}

KxFormValues decodeFormValues(const std::string& text) {
    KxFormValues values;
    std::size_t at = 0;
    const auto piece = [&](std::string& out) {
        const auto colon = text.find(':', at);
        if (colon == std::string::npos || colon == at || colon - at > 9) {
            return false;
        }
        std::size_t length = 0;
        const auto [end, error] = std::from_chars(text.data() + at, text.data() + colon, length);
        if (error != std::errc() || end != text.data() + colon ||
            length > text.size() - colon - 1) {
            return false;
        }
        out = text.substr(colon + 1, length);
        at = colon + 1 + length;
        return true;
    };
    while (at < text.size()) {
        std::string key;
        std::string value;
        if (!piece(key) || !piece(value)) {
            break;
        }
        values[key] = value;
    }
    return values;
}

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
    const KxSoapPort* port = description.port(request.getParameter("port"));
    if (port == nullptr) {
        port = &description.ports.front();
    }
    context.put("portName", port->name);
    context.put("serviceUrl", "http://127.0.0.1:" + std::to_string(service->port) + port->path);
    context.put("soapVersion", port->soapVersion);
    std::vector<KxContextObject> ports;
    for (const KxSoapPort& each : description.ports) {
        ports.push_back(kxcreateRecord({{"name", kxcreateContextObject(each.name)},
                                        {"current", kxcreateContextObject(&each == port)}}));
    }
    context.put("ports", kxcreateContextObject(std::move(ports)));
    const KxCString operationName = request.getParameter("op");
    std::vector<KxContextObject> operations;
    for (const KxSoapOperation& each : port->operations) {
        operations.push_back(kxcreateRecord({
            {"name", kxcreateContextObject(each.name)},
            {"current", kxcreateContextObject(each.name == operationName)},
            {"documentation", kxcreateContextObject(each.documentation)},
        }));
    }
    context.put("operations", kxcreateContextObject(std::move(operations)));
    const KxSoapOperation* operation = port->operation(operationName);
    if (operation == nullptr) {
        return parseFile("tryit.tl");
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

    // The form: as sent, else as the session kept it from the last request.
    const KxCString key = service->folder + "|" + port->name + "|" + operation->name;
    const bool posted = request.getMethod() == "POST";
    const KxCString action = posted ? request.getParameter("action") : KxCString();
    KxFormValues values = posted ? formValuesOf(request)
                                 : decodeFormValues(getSessionString(session, key, kSessionPrefix));
    if (action == "reset") {
        values.clear();
        session.removeAttribute(kSessionPrefix + key);
    } else {
        applyFormAction(*operation, values, action);
    }
    std::vector<KxContextObject> rows;
    for (const KxFormRow& row : formRows(*operation, values)) {
        rows.push_back(rowObject(row));
    }
    context.put("rows", kxcreateContextObject(std::move(rows)));

    if (action == "send") {
        const std::string stored = encodeFormValues(values);
        if (stored.size() <= kMaxStoredForm) {
            setSessionString(session, key, stored, kSessionPrefix, false);
        }
        const KxSoapRequest soapRequest = buildSoapRequest(*port, *operation, values);
        context.put("requestTokens", xmlTokens(soapRequest.envelope));
        if (!soapRequest.problems.empty()) {
            KxRecordList<KxCString> problems(soapRequest.problems.begin(),
                                             soapRequest.problems.end());
            context.put("problems", kxcreateContextObject(problems));
        } else {
            sendRequest(context, *service, *port, soapRequest);
        }
    }
    return parseFile("tryit.tl");
}
