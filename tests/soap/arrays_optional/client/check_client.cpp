// Calls Summarize and Index through the generated client with the values of
// calls.py and prints one line per answer (check_line.h); an absent optional
// field prints as "-", an empty list as "[]".
#include <cstdint>
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
    std::string text;
    for (std::int32_t value : values) {
        text += (text.empty() ? "" : " ") + std::to_string(value);
    }
    return "[" + text + "]";
}

stats::Entry entry(const std::string& key, std::optional<std::string> note) {
    stats::Entry e;
    e.setKey(key);
    e.setNote(std::move(note));
    return e;
}

}  // namespace

int main(int argc, char** argv) {
    StatsPortClientProxy service(endpointOf(argc, argv));
    auto call = [&](std::vector<std::int32_t> values, std::optional<std::string> label) {
        stats::Summarize request;
        request.setValue(std::move(values));
        request.setLabel(std::move(label));
        return service.Summarize(request);
    };
    auto summarize = [&](std::vector<std::int32_t> values, std::optional<std::string> label) {
        const auto answer = call(std::move(values), std::move(label));
        return "count " + std::to_string(answer.getCount()) + " total " +
               std::to_string(answer.getTotal()) + " largest " + shown(answer.getLargest()) +
               " label " + shown(answer.getLabel()) + " sorted " + shown(answer.getSorted());
    };
    auto index = [&](std::vector<stats::Entry> entries) {
        stats::Index request;
        request.setEntry(std::move(entries));
        const auto answer = service.Index(request);
        std::string text;
        for (const auto& e : answer.getEntry()) {
            text += (text.empty() ? "" : " ") + e.getKey() + ":" + shown(e.getNote());
        }
        return "entries [" + text + "] withoutNote " + std::to_string(answer.getWithoutNote());
    };

    line("Summarize 5 -3 12 7 label \"week 1\"", [&] {
        return summarize({5, -3, 12, 7}, "week 1");
    });
    line("Summarize 9", [&] { return summarize({9}, std::nullopt); });
    line("Summarize nothing", [&] { return summarize({}, std::nullopt); });
    line("Summarize 300 x 2147483647", [&] {
        const auto answer = call(std::vector<std::int32_t>(300, 2147483647), std::nullopt);
        const bool same = answer.getSorted() == std::vector<std::int32_t>(300, 2147483647);
        return "count " + std::to_string(answer.getCount()) + " total " +
               std::to_string(answer.getTotal()) + " sorted " +
               std::to_string(answer.getSorted().size()) +
               (same ? " x 2147483647" : " values differ");
    });
    line("Summarize 1 label \"\"", [&] { return summarize({1}, std::string()); });
    line("Index pear:ripe apple banana fig:dried", [&] {
        return index({entry("pear", "ripe"), entry("apple", std::nullopt), entry("fig", "dried"),
                      entry("banana", std::nullopt)});
    });
    line("Index only:x", [&] { return index({entry("only", "x")}); });
    return 0;
}
