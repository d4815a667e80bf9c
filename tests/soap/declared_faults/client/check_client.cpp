// Calls Withdraw and Balance through the generated client, with the values and
// in the order of calls.py (balances change as the calls go), and prints one
// line per answer:
//     check_client URL
// Decimals print without trailing zeros after the point (100.00 as 100), as
// servers may write the same value with more or fewer digits. A declared fault
// prints "<class> <code>: <text> [<its detail>]", any other SOAP fault
// "fault <code>: <text>", an HTTP failure "http <status>: <text>".
#include <exception>
#include <functional>
#include <iostream>
#include <string>

#include "BankPortClientProxy.h"

namespace bank = kxtest_bank;

namespace {

std::string plain(const orvo::Decimal& value);

// Prints the line the call gives, or how it failed; the run goes on.
void line(const std::string& label, const std::function<std::string()>& call) {
    try {
        const std::string answer = call();
        std::cout << label << " = " << answer << "\n";
    } catch (const InsufficientFundsFault& fault) {
        std::cout << label << " -> InsufficientFundsFault " << fault.code() << ": " << fault.what()
                  << " [requested " << plain(fault.detail().getRequested()) << " available "
                  << plain(fault.detail().getAvailable()) << "]\n";
    } catch (const UnknownAccountFault& fault) {
        std::cout << label << " -> UnknownAccountFault " << fault.code() << ": " << fault.what()
                  << " [account " << fault.detail().getAccount() << "]\n";
    } catch (const orvo::Fault& fault) {
        std::cout << label << " -> fault " << fault.code() << ": " << fault.what() << "\n";
    } catch (const orvo::HttpError& error) {
        std::cout << label << " -> http " << error.status() << ": " << error.what() << "\n";
    } catch (const std::exception& error) {
        std::cout << label << " -> error: " << error.what() << "\n";
    }
}

std::string plain(const orvo::Decimal& value) {
    std::string text = value.str();
    if (!text.empty() && text[0] == '+') {
        text.erase(0, 1);
    }
    if (text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.') {
            text.pop_back();
        }
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: check_client URL\n";
        return 2;
    }
    BankPortClientProxy service(argv[1]);
    auto balance = [&](const std::string& account) {
        bank::Balance request;
        request.setAccount(account);
        return plain(service.Balance(request).getBalance());
    };
    auto withdraw = [&](const std::string& account, const std::string& amount) {
        bank::Withdraw request;
        request.setAccount(account);
        request.setAmount(orvo::Decimal(amount));
        return plain(service.Withdraw(request).getBalance());
    };

    line("Balance alice", [&] { return balance("alice"); });
    line("Withdraw alice 30.25", [&] { return withdraw("alice", "30.25"); });
    line("Balance alice", [&] { return balance("alice"); });
    line("Withdraw bob 6.00", [&] { return withdraw("bob", "6.00"); });
    line("Balance bob", [&] { return balance("bob"); });
    line("Withdraw carol 1", [&] { return withdraw("carol", "1"); });
    line("Balance dave", [&] { return balance("dave"); });
    line("Withdraw bob -1", [&] { return withdraw("bob", "-1"); });
    return 0;
}
