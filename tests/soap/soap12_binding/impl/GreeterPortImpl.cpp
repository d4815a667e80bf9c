// GreeterPortImpl.cpp: greets in three languages and shouts back, over SOAP 1.2.
#include "GreeterPortImpl.h"

::kxtest_greeter::GreetResponse GreeterPortImpl::Greet(const ::kxtest_greeter::Greet& parameters) {
    const std::string& name = parameters.getName();
    const std::string& language = parameters.getLanguage();
    std::string greeting;
    if (language == "en") {
        greeting = "Hello, " + name + "!";
    } else if (language == "fr") {
        greeting = "Bonjour, " + name + " !";
    } else if (language == "de") {
        greeting = "Hallo, " + name + "!";
    } else {
        throw orvo::Fault("Client", "no greeting in language '" + language + "'");
    }
    ::kxtest_greeter::GreetResponse response;
    response.setGreeting(greeting);
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
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++characters;
        }
    }
    ::kxtest_greeter::ShoutResponse response;
    response.setText(text);
    response.setLength(characters);
    return response;
}
