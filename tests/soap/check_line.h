// The output of the check_client programs: one line per call, "label =
// answer", or how the call failed ("label -> fault CODE: TEXT", "label ->
// http STATUS: TEXT"); the run goes on after a failure. A folder whose
// operations declare faults gives `declared`, which prints such a fault
// with its detail (after "label -> ") and says whether it did.
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
    try {
        const std::string answer = call();
        std::cout << label << " = " << answer << "\n";
    } catch (const orvo::Fault& fault) {
        std::cout << label << " -> ";
        if (!declared || !declared(fault, std::cout)) {
            std::cout << "fault " << fault.code() << ": " << fault.what();
        }
        std::cout << "\n";
    } catch (const orvo::HttpError& error) {
        std::cout << label << " -> http " << error.status() << ": " << error.what() << "\n";
    } catch (const std::exception& error) {
        std::cout << label << " -> error: " << error.what() << "\n";
    }
}

// The service's address, the program's one argument; the usage otherwise.
inline std::string endpointOf(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: check_client URL\n";
        std::exit(2);
    }
    return argv[1];
}
