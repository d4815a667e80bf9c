// StatsPortImpl.cpp: sums a list of numbers and rearranges a list of entries,
// echoing the optional fields only when they came.
#include "StatsPortImpl.h"

#include <algorithm>
#include <numeric>

::kxtest_org_2025_stats::SummarizeResponse StatsPortImpl::Summarize(
    const ::kxtest_org_2025_stats::Summarize& parameters) {
    std::vector<std::int32_t> values = parameters.getValue();
    ::kxtest_org_2025_stats::SummarizeResponse response;
    response.setCount(static_cast<std::int32_t>(values.size()));
    response.setTotal(std::accumulate(values.begin(), values.end(), std::int64_t{0}));
    std::sort(values.begin(), values.end());
    if (!values.empty()) {
        response.setLargest(values.back());
    }
    response.setLabel(parameters.getLabel());
    response.setSorted(values);
    return response;
}

::kxtest_org_2025_stats::IndexResponse StatsPortImpl::Index(
    const ::kxtest_org_2025_stats::Index& parameters) {
    // The entries ordered by key, in the order asked; those without a note are counted.
    std::vector<::kxtest_org_2025_stats::Entry> entries = parameters.getEntry();
    const bool descending = parameters.getOrder() == ::kxtest_org_2025_stats::Order::descending;
    std::stable_sort(entries.begin(), entries.end(), [descending](const auto& a, const auto& b) {
        return descending ? b.getKey() < a.getKey() : a.getKey() < b.getKey();
    });
    ::kxtest_org_2025_stats::IndexResponse response;
    response.setWithoutNote(static_cast<std::int32_t>(std::count_if(
        entries.begin(), entries.end(), [](const auto& entry) { return !entry.getNote(); })));
    response.setEntry(entries);
    return response;
}
