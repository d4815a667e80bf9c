// Calls Greet and Echo through the generated client with the header values
// of calls.py, in its order (the counts of greetings per user change as the
// calls go), and prints one line per answer (check_line.h): a greeting with
// the Session header block the answer carried, or the header fault AuthFailed
// as "AuthFailedFault <code>: <text> [<its detail>]".
#include <string>

#include "SessionPortClientProxy.h"
#include "check_line.h"

namespace {

bool declared(const orvo::Fault& fault, std::ostream& out) {
    if (const auto* failed = dynamic_cast<const AuthFailedFault*>(&fault)) {
        out << "AuthFailedFault " << fault.code() << ": " << fault.what() << " [username '"
            << failed->detail().getUsername() << "' reason " << failed->detail().getReason() << "]";
        return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    SessionPortClientProxy service(endpointOf(argc, argv));
    auto greet = [&](const std::string& name, const std::string& username,
                     const std::string& token) {
        kxtest_session::Greet request;
        request.setName(name);
        kxtest_session::Credentials credentials;
        credentials.setUsername(username);
        credentials.setToken(token);
        kxtest_session::Session session;
        session.setId("unset");
        const std::string greeting = service.Greet(request, credentials, session).getGreeting();
        return greeting + " [session " + session.getId() + ", call " +
               std::to_string(session.getCalls()) + "]";
    };
    const char* const calls[][3] = {{"Ann", "ann", "secret-ann"},
                                    {"Ann", "ann", "secret-ann"},
                                    {"Bob", "bob", "secret-bob"},
                                    {"Eve", "ann", "secret-bob"},
                                    {"Eve", "", ""},
                                    {"Ann", "ann", "secret-ann"}};
    for (const auto& call : calls) {
        line(
            std::string("Greet ") + call[0] + " as '" + call[1] + "' with '" + call[2] + "'",
            [&] { return greet(call[0], call[1], call[2]); }, declared);
    }
    line("Echo hi", [&] {
        kxtest_session::Echo request;
        request.setText("hi");
        return service.Echo(request).getText();
    });
    return 0;
}
