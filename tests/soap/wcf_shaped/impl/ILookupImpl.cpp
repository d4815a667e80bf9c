// ILookupImpl.cpp: a catalogue of two items, and the number of lookups made
// so far, whichever SOAP version they came in.
#include "ILookupImpl.h"

#include <atomic>

namespace {

std::atomic<int> lookups{0};

::kxtest_lookup_data::Item item(const char* code, const char* name, const char* price,
                                std::vector<std::string> tags) {
    ::kxtest_lookup_data::Item found;
    found.setCode(code);
    found.setName(name);
    found.setPrice(orvo::Decimal(price));
    found.setTags(std::move(tags));
    return found;
}

}  // namespace

::kxtest_lookup_messages::FindResponse ILookupImpl::Find(
    const ::kxtest_lookup_messages::Find& parameters) {
    ++lookups;
    ::kxtest_lookup_messages::FindResponse response;
    if (parameters.getCode() == "A-1") {
        response.setFindResult(item("A-1", "Anvil", "129.50", {"heavy", "iron"}));
    } else if (parameters.getCode() == "K-7") {
        response.setFindResult(item("K-7", "Kettle", "24", {}));
    } else {
        response.setFindResult(std::optional<::kxtest_lookup_data::Item>());  // nil
    }
    return response;
}

::kxtest_lookup_messages::CountResponse ILookupImpl::Count(
    const ::kxtest_lookup_messages::Count& /*parameters*/) {
    ::kxtest_lookup_messages::CountResponse response;
    response.setCountResult(lookups.load());
    return response;
}
