// StatsPortImpl.cpp: sums a list of numbers and rearranges a list of entries,
// echoing the optional fields only when they came.
#include "StatsPortImpl.h"

#include <algorithm>

::kxtest_org_2025_stats::SummarizeResponse StatsPortImpl::Summarize(
    const ::kxtest_org_2025_stats::Summarize& parameters) {
    const std::vector<std::int32_t>& values = parameters.getValue();
    ::kxtest_org_2025_stats::SummarizeResponse response;
    response.setCount(static_cast<std::int32_t>(values.size()));
    std::int64_t total = 0;
    for (std::int32_t value : values) {
        total += value;
    }
    response.setTotal(total);
    if (!values.empty()) {
        response.setLargest(*std::max_element(values.begin(), values.end()));
    }
    response.setLabel(parameters.getLabel());
    std::vector<std::int32_t> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    response.setSorted(sorted);
    return response;
}

::kxtest_org_2025_stats::IndexResponse StatsPortImpl::Index(
    const ::kxtest_org_2025_stats::Index& parameters) {
    // The entries ordered by key; those without a note are counted.
    std::vector<::kxtest_org_2025_stats::Entry> entries = parameters.getEntry();
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return a.getKey() < b.getKey(); });
    std::int32_t withoutNote = 0;
    for (const auto& entry : entries) {
        if (!entry.getNote()) {
            ++withoutNote;
        }
    }
    ::kxtest_org_2025_stats::IndexResponse response;
    response.setEntry(entries);
    response.setWithoutNote(withoutNote);
    return response;
}
