// LibraryPortImpl.cpp: a catalogue of three books and a word counter.
#include "LibraryPortImpl.h"

#include <map>
#include <sstream>

namespace {

struct Book {
    const char* title;
    const char* author;
    std::int32_t year;
    bool available;
};

const std::map<std::string, Book>& catalogue() {
    static const std::map<std::string, Book> books = {
        {"978-0-00-000001-1", {"Rivers of Salt", "Ines Marlowe", 1987, true}},
        {"978-0-00-000002-8", {"The Quiet Lathe", "Tomas Brek", 2004, false}},
        {"978-0-00-000003-5", {"Ashes & <Embers>", "K. O'Neill", 2019, true}},
    };
    return books;
}

}  // namespace

::kxtest_org_2025_library::BookRecord LibraryPortImpl::findBook(
    const ::kxtest_org_2025_library::BookQuery& query) {
    const auto found = catalogue().find(query.getIsbn());
    if (found == catalogue().end()) {
        throw orvo::Fault("Client", "no book with ISBN " + query.getIsbn());
    }
    ::kxtest_org_2025_library::BookRecord record;
    record.setTitle(found->second.title);
    record.setAuthor(found->second.author);
    record.setYear(found->second.year);
    record.setAvailable(found->second.available);
    return record;
}

std::int64_t LibraryPortImpl::countWords(const std::string& text) {
    std::istringstream words(text);
    std::string word;
    std::int64_t count = 0;
    while (words >> word) {
        ++count;
    }
    return count;
}
