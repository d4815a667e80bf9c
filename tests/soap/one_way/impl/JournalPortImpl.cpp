// JournalPortImpl.cpp: Record (one-way) keeps lines; Report tells how many
// came and the last one, so a client can see its one-way calls arrived.
#include "JournalPortImpl.h"

#include <mutex>
#include <vector>

namespace {
std::mutex journalMutex;
std::vector<std::string> journal;
}  // namespace

void JournalPortImpl::Record(const ::kxtest_journal::Record& parameters) {
    std::lock_guard<std::mutex> lock(journalMutex);
    journal.push_back(parameters.getLine());
}

::kxtest_journal::ReportResponse JournalPortImpl::Report(
    const ::kxtest_journal::Report& /*parameters*/) {
    std::lock_guard<std::mutex> lock(journalMutex);
    ::kxtest_journal::ReportResponse response;
    response.setCount(static_cast<std::int32_t>(journal.size()));
    if (!journal.empty()) {
        response.setLast(journal.back());
    }
    return response;
}
