// BankPortImpl.cpp: two accounts kept in cents. Withdrawing more than the
// balance and naming an unknown account are the declared faults, thrown as
// their generated classes with their detail.
#include "BankPortImpl.h"

#include <cstdio>
#include <map>
#include <mutex>

namespace {

std::mutex accountsMutex;
std::map<std::string, std::int64_t> accounts = {{"alice", 10000}, {"bob", 550}};

// An xsd:decimal in whole cents; digits past the second after the point are dropped.
std::int64_t toCents(const orvo::Decimal& amount) {
    const std::string& text = amount.str();
    const std::size_t point = text.find('.');
    std::string cents = point == std::string::npos ? "" : text.substr(point + 1);
    cents.resize(2, '0');
    return std::stoll(text.substr(0, point) + cents);
}

orvo::Decimal fromCents(std::int64_t cents) {  // balances are never negative
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%02lld", static_cast<long long>(cents / 100),
                  static_cast<long long>(cents % 100));
    return orvo::Decimal(text);
}

std::int64_t& accountNamed(const std::string& account) {
    const auto found = accounts.find(account);
    if (found == accounts.end()) {
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
