// Calls Summarize and Index through the generated client, with the values of
// calls.py, and prints one line per answer:
//     check_client URL
// An absent optional field prints as "-", an empty list as "[]". A SOAP fault
// prints "fault <code>: <text>", an HTTP failure "http <status>: <text>".
#include <cstdint>
#include <exception>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "StatsPortClientProxy.h"
#include "check_line.h"

namespace stats = kxtest_org_2025_stats;

namespace {

std::string shown(const std::optional<std::string>& text) {
    return text ? "\"" + *text + "\"" : "-";
}

std::string shown(const std::optional<std::int32_t>& value) {
    return value ? std::to_string(*value) : "-";
}

std::string shown(const std::vector<std::int32_t>& values) {
    std::string text = "[";
    for (std::size_t i = 0; i < values.size(); ++i) {
        text += (i ? " " : "") + std::to_string(values[i]);
    }
    return text + "]";
}

std::string summary(const stats::SummarizeResponse& answer) {
    return "count " + std::to_string(answer.getCount()) + " total " +
           std::to_string(answer.getTotal()) + " largest " + shown(answer.getLargest()) +
           " label " + shown(answer.getLabel()) + " sorted " + shown(answer.getSorted());
}

stats::Summarize request(std::vector<std::int32_t> values, std::optional<std::string> label) {
    stats::Summarize summarize;
    summarize.setValue(std::move(values));
    summarize.setLabel(std::move(label));
    return summarize;
}

stats::Entry entry(const std::string& key, std::optional<std::string> note) {
    stats::Entry e;
    e.setKey(key);
    e.setNote(std::move(note));
    return e;
}

std::string index(const stats::IndexResponse& answer) {
    std::string text = "entries [";
    const auto& entries = answer.getEntry();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        text += (i ? " " : "") + entries[i].getKey() + ":" + shown(entries[i].getNote());
    }
    return text + "] withoutNote " + std::to_string(answer.getWithoutNote());
}

}  // namespace

int main(int argc, char** argv) {
    StatsPortClientProxy service(endpointOf(argc, argv));
    auto summarize = [&](std::vector<std::int32_t> values, std::optional<std::string> label) {
        return summary(service.Summarize(request(std::move(values), std::move(label))));
    };

    line("Summarize 5 -3 12 7 label \"week 1\"", [&] {
        return summarize({5, -3, 12, 7}, "week 1");
    });
    line("Summarize 9", [&] { return summarize({9}, std::nullopt); });
    line("Summarize nothing", [&] { return summarize({}, std::nullopt); });
    line("Summarize 300 x 2147483647", [&] {
        const auto answer =
            service.Summarize(request(std::vector<std::int32_t>(300, 2147483647), std::nullopt));
        const auto& sorted = answer.getSorted();
        bool same = true;
        for (std::int32_t value : sorted) {
            same = same && value == 2147483647;
        }
        return "count " + std::to_string(answer.getCount()) + " total " +
               std::to_string(answer.getTotal()) + " sorted " + std::to_string(sorted.size()) +
               (same ? " x 2147483647" : " values differ");
    });
    line("Summarize 1 label \"\"", [&] { return summarize({1}, std::string()); });
    line("Index pear:ripe apple banana fig:dried", [&] {
        stats::Index request;
        request.setEntry({entry("pear", "ripe"), entry("apple", std::nullopt),
                          entry("fig", "dried"), entry("banana", std::nullopt)});
        return index(service.Index(request));
    });
    line("Index only:x", [&] {
        stats::Index request;
        request.setEntry({entry("only", "x")});
        return index(service.Index(request));
    });
    return 0;
}
