// SessionPortImpl.cpp: Greet admits a user whose token is "secret-" and the
// user name, read from the Credentials header block; it counts the user's
// greetings and answers with a Session header block naming the user and the
// count. Refused credentials are the header fault AuthFailed.
#include "SessionPortImpl.h"

#include <map>
#include <mutex>

namespace {

std::mutex callsMutex;
std::map<std::string, int> callsByUser;

[[noreturn]] void refuse(const std::string& username, const std::string& reason) {
    ::kxtest_session::AuthFailed detail;
    detail.setUsername(username);
    detail.setReason(reason);
    throw AuthFailedFault(detail, "authentication failed: " + reason, "Client");
}

}  // namespace

::kxtest_session::GreetResponse SessionPortImpl::Greet(
    const ::kxtest_session::Greet& parameters, const ::kxtest_session::Credentials& credentials,
    ::kxtest_session::Session& session) {
    const std::string& username = credentials.getUsername();
    if (username.empty()) {
        refuse(username, "no credentials");
    }
    if (credentials.getToken() != "secret-" + username) {
        refuse(username, "wrong token");
    }
    int calls = 0;
    {
        std::lock_guard<std::mutex> lock(callsMutex);
        calls = ++callsByUser[username];
    }
    session.setId("session-" + username);
    session.setCalls(calls);
    ::kxtest_session::GreetResponse response;
    response.setGreeting("Hello, " + parameters.getName() + ", from " + username);
    return response;
}

::kxtest_session::EchoResponse SessionPortImpl::Echo(const ::kxtest_session::Echo& parameters) {
    ::kxtest_session::EchoResponse response;
    response.setText(parameters.getText());
    return response;
}
