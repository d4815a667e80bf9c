// GreeterPortImpl.cpp: greets in three languages and shouts back, over SOAP 1.2.
#include "GreeterPortImpl.h"

#include <map>

::kxtest_greeter::GreetResponse GreeterPortImpl::Greet(const ::kxtest_greeter::Greet& parameters) {
    static const std::map<std::string, std::pair<std::string, std::string>> greetings = {
        {"en", {"Hello, ", "!"}}, {"fr", {"Bonjour, ", " !"}}, {"de", {"Hallo, ", "!"}}};
    const auto found = greetings.find(parameters.getLanguage());
    if (found == greetings.end()) {
        throw orvo::Fault("Client", "no greeting in language '" + parameters.getLanguage() + "'");
    }
    ::kxtest_greeter::GreetResponse response;
    response.setGreeting(found->second.first + parameters.getName() + found->second.second);
    return response;
}

::kxtest_greeter::ShoutResponse GreeterPortImpl::Shout(const ::kxtest_greeter::Shout& parameters) {
    // ASCII letters are raised; other characters, whole UTF-8 sequences, stay.
    std::string text = parameters.getText();
    std::int32_t characters = 0;
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
        characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }
    ::kxtest_greeter::ShoutResponse response;
    response.setText(text);
    response.setLength(characters);
    return response;
}
