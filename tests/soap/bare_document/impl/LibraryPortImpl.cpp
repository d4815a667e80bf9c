// LibraryPortImpl.cpp: a catalogue of three books and a word counter.
#include "LibraryPortImpl.h"

#include <iterator>
#include <map>
#include <sstream>
#include <tuple>

::kxtest_org_2025_library::BookRecord LibraryPortImpl::findBook(
    const ::kxtest_org_2025_library::BookQuery& query) {
    static const std::map<std::string, std::tuple<std::string, std::string, std::int32_t, bool>>
        catalogue = {
            {"978-0-00-000001-1", {"Rivers of Salt", "Ines Marlowe", 1987, true}},
            {"978-0-00-000002-8", {"The Quiet Lathe", "Tomas Brek", 2004, false}},
            {"978-0-00-000003-5", {"Ashes & <Embers>", "K. O'Neill", 2019, true}},
        };
    const auto found = catalogue.find(query.getIsbn());
    if (found == catalogue.end()) {
        throw orvo::Fault("Client", "no book with ISBN " + query.getIsbn());
    }
    ::kxtest_org_2025_library::BookRecord record;
    record.setTitle(std::get<0>(found->second));
    record.setAuthor(std::get<1>(found->second));
    record.setYear(std::get<2>(found->second));
    record.setAvailable(std::get<3>(found->second));
    return record;
}

std::int64_t LibraryPortImpl::countWords(const std::string& text) {
    std::istringstream words(text);
    return std::distance(std::istream_iterator<std::string>(words),
                         std::istream_iterator<std::string>());
}
