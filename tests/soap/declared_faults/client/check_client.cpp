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
#include "check_line.h"

namespace bank = kxtest_bank;

namespace {

std::string plain(const orvo::Decimal& value);

// The bank's declared faults, with their detail.
bool declared(const orvo::Fault& fault, std::ostream& out) {
    if (const auto* funds = dynamic_cast<const InsufficientFundsFault*>(&fault)) {
        out << "InsufficientFundsFault " << fault.code() << ": " << fault.what() << " [requested "
            << plain(funds->detail().getRequested()) << " available "
            << plain(funds->detail().getAvailable()) << "]";
        return true;
    }
    if (const auto* unknown = dynamic_cast<const UnknownAccountFault*>(&fault)) {
        out << "UnknownAccountFault " << fault.code() << ": " << fault.what() << " [account "
            << unknown->detail().getAccount() << "]";
        return true;
    }
    return false;
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
    BankPortClientProxy service(endpointOf(argc, argv));
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

    line(
        "Balance alice", [&] { return balance("alice"); }, declared);
    line(
        "Withdraw alice 30.25", [&] { return withdraw("alice", "30.25"); }, declared);
    line(
        "Balance alice", [&] { return balance("alice"); }, declared);
    line(
        "Withdraw bob 6.00", [&] { return withdraw("bob", "6.00"); }, declared);
    line(
        "Balance bob", [&] { return balance("bob"); }, declared);
    line(
        "Withdraw carol 1", [&] { return withdraw("carol", "1"); }, declared);
    line(
        "Balance dave", [&] { return balance("dave"); }, declared);
    line(
        "Withdraw bob -1", [&] { return withdraw("bob", "-1"); }, declared);
    return 0;
}
