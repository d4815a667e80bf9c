// BankPortImpl.cpp: two accounts kept in cents. Withdrawing more than the
// balance and naming an unknown account are the declared faults, thrown as
// their generated classes with their detail.
#include "BankPortImpl.h"

#include <map>
#include <mutex>

namespace {

std::mutex accountsMutex;

std::map<std::string, std::int64_t>& accounts() {
    static std::map<std::string, std::int64_t> balances = {{"alice", 10000}, {"bob", 550}};
    return balances;
}

// An xsd:decimal with at most two digits after the point, in cents.
std::int64_t toCents(const orvo::Decimal& amount) {
    const std::string& text = amount.str();
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::int64_t cents = 0;
    int fraction = -1;
    for (; i < text.size(); ++i) {
        if (text[i] == '.') {
            fraction = 0;
            continue;
        }
        if (fraction >= 2) {
            if (text[i] != '0') {
                throw orvo::Fault("Client", "amounts are in whole cents: " + text);
            }
            continue;
        }
        cents = cents * 10 + (text[i] - '0');
        if (fraction >= 0) {
            ++fraction;
        }
    }
    for (int f = fraction < 0 ? 0 : fraction; f < 2; ++f) {
        cents *= 10;
    }
    return negative ? -cents : cents;
}

orvo::Decimal fromCents(std::int64_t cents) {
    std::string sign = cents < 0 ? "-" : "";
    const std::int64_t magnitude = cents < 0 ? -cents : cents;
    std::string fraction = std::to_string(magnitude % 100);
    if (fraction.size() < 2) {
        fraction.insert(0, "0");
    }
    return orvo::Decimal(sign + std::to_string(magnitude / 100) + "." + fraction);
}

std::int64_t& accountNamed(const std::string& account) {
    const auto found = accounts().find(account);
    if (found == accounts().end()) {
        ::kxtest_bank::UnknownAccount detail;
        detail.setAccount(account);
        throw UnknownAccountFault(detail, "unknown account " + account, "Client");
    }
    return found->second;
}

}  // namespace

::kxtest_bank::WithdrawResponse BankPortImpl::Withdraw(const ::kxtest_bank::Withdraw& parameters) {
    const std::int64_t amount = toCents(parameters.getAmount());
    if (amount <= 0) {
        throw orvo::Fault("Client", "the amount must be positive");
    }
    std::lock_guard<std::mutex> lock(accountsMutex);
    std::int64_t& balance = accountNamed(parameters.getAccount());
    if (amount > balance) {
        ::kxtest_bank::InsufficientFunds detail;
        detail.setRequested(parameters.getAmount());
        detail.setAvailable(fromCents(balance));
        throw InsufficientFundsFault(detail,
                                     "insufficient funds: " + parameters.getAmount().str() +
                                         " requested, " + fromCents(balance).str() + " available",
                                     "Client");
    }
    balance -= amount;
    ::kxtest_bank::WithdrawResponse response;
    response.setBalance(fromCents(balance));
    return response;
}

::kxtest_bank::BalanceResponse BankPortImpl::Balance(const ::kxtest_bank::Balance& parameters) {
    std::lock_guard<std::mutex> lock(accountsMutex);
    ::kxtest_bank::BalanceResponse response;
    response.setBalance(fromCents(accountNamed(parameters.getAccount())));
    return response;
}
