// One line per call of a check_client program: "label = answer", or "label -> fault CODE: TEXT"
// (or `declared`'s text of a declared fault), "label -> http STATUS: TEXT"; the run goes on.
#pragma once

#include <cstdlib>
#include <exception>
#include <functional>
#include <iostream>
#include <string>

#include "orvohttp.h"
#include "orvoruntime.h"

using DeclaredFaultPrinter = std::function<bool(const orvo::Fault&, std::ostream&)>;

inline void line(const std::string& label, const std::function<std::string()>& call,
                 const DeclaredFaultPrinter& declared = {}) {
    std::cout << label;
    try {
        const std::string answer = call();
        std::cout << " = " << answer;
    } catch (const orvo::Fault& fault) {
        std::cout << " -> ";
        if (!declared || !declared(fault, std::cout)) {
            std::cout << "fault " << fault.code() << ": " << fault.what();
        }
    } catch (const orvo::HttpError& error) {
        std::cout << " -> http " << error.status() << ": " << error.what();
    } catch (const std::exception& error) {
        std::cout << " -> error: " << error.what();
    }
    std::cout << "\n";
}

// The service's address, the program's one argument.
inline std::string endpointOf(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: check_client URL\n";
        std::exit(2);
    }
    return argv[1];
}
