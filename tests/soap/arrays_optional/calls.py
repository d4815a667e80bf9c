"""Calls with repeated and optional elements: empty lists, absent optional
fields and lists of complex elements, both ways."""

NS = "http://www.kxtest.org/2025/stats"
PROBE = ("Summarize", {"value": [1, 2], "label": "probe"}, f"{{{NS}}}SummarizeResponse")


def run(service, report, peer):
    # (values, label) -> (count, total, largest, label, sorted); beyond xsd:int for the total.
    for values, label, want in [
            ([5, -3, 12, 7], "week 1", (4, 21, 12, "week 1", [-3, 5, 7, 12])),
            ([9], None, (1, 9, 9, None, [9])),
            ([], None, (0, 0, None, None, [])),
            ([2147483647] * 300, None, (300, 2147483647 * 300, 2147483647, None, [2147483647] * 300))]:
        with report.case(f"Summarize {len(values)} values, label {label!r}") as case:
            answer = service.Summarize(value=values, label=label)
            case.equal((answer.count, answer.total, answer.largest, answer.label,
                        list(answer.sorted or [])), want, "count, total, largest, label, sorted")
    # zeep reads an empty element and a missing one both as None: these look
    # at the answer as sent.
    for values, label, names in [([], None, ["count", "total"]),
                                 ([1], "", ["count", "total", "largest", "label", "sorted"])]:
        with report.case(f"Summarize {values} label {label!r} sends {names}") as case:
            answer = peer.body_element("Summarize", value=values, label=label)
            case.equal([child.tag.replace(f"{{{NS}}}", "") for child in answer], names, "elements")
            case.equal(answer.findtext(f"{{{NS}}}label"), label, "label")
    for entries, order, want, without_note in [
            ([("pear", "ripe"), ("apple", None), ("fig", "dried"), ("banana", None)], "ascending",
             [("apple", None), ("banana", None), ("fig", "dried"), ("pear", "ripe")], 2),
            ([("b", None), ("c", "y"), ("a", None)], "descending",
             [("c", "y"), ("b", None), ("a", None)], 2),
            ([("only", "x")], "ascending", [("only", "x")], 0)]:
        with report.case(f"Index orders {len(entries)} entries {order}, optional notes kept") as case:
            answer = service.Index(entry=[{"key": k, "note": n} for k, n in entries], order=order)
            case.equal([(e.key, e.note) for e in answer.entry], want, "entries")
            case.equal(answer.withoutNote, without_note, "withoutNote")
