// Calls Withdraw and Balance through the generated client with the values and
// in the order of calls.py (balances change as the calls go) and prints one
// line per answer (check_line.h). Decimals print without trailing zeros after
// the point (100.00 as 100), as servers may write the same value either way;
// a declared fault prints "<class> <code>: <text> [<its detail>]".
#include <string>

#include "BankPortClientProxy.h"
#include "check_line.h"

namespace {

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

}  // namespace

int main(int argc, char** argv) {
    BankPortClientProxy service(endpointOf(argc, argv));
    auto balance = [&](const std::string& account) {
        kxtest_bank::Balance request;
        request.setAccount(account);
        return plain(service.Balance(request).getBalance());
    };
    auto withdraw = [&](const std::string& account, const std::string& amount) {
        kxtest_bank::Withdraw request;
        request.setAccount(account);
        request.setAmount(orvo::Decimal(amount));
        return plain(service.Withdraw(request).getBalance());
    };
    const std::pair<const char*, const char*> calls[] = {
        {"alice", nullptr}, {"alice", "30.25"}, {"alice", nullptr}, {"bob", "6.00"},
        {"bob", nullptr},   {"carol", "1"},     {"dave", nullptr},  {"bob", "-1"}};
    for (const auto& call : calls) {
        const std::string account = call.first;
        line(
            call.second ? "Withdraw " + account + " " + call.second : "Balance " + account,
            [&] { return call.second ? withdraw(account, call.second) : balance(account); },
            declared);
    }
    return 0;
}
