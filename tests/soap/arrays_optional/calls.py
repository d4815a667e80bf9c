"""Calls with repeated and optional elements: empty lists, absent optional
fields and lists of complex elements, both ways."""

PROBE = ("Summarize", {"value": [1, 2], "label": "probe"},
         "{http://www.kxtest.org/2025/stats}SummarizeResponse")

NS = "http://www.kxtest.org/2025/stats"


def names(element):
    """The local names of the element's children, each in NS."""
    return [child.tag[len(NS) + 2:] if child.tag.startswith(f"{{{NS}}}") else child.tag
            for child in element]


def run(service, report, peer):
    with report.case("Summarize a list with a label") as case:
        answer = service.Summarize(value=[5, -3, 12, 7], label="week 1")
        case.equal(answer.count, 4, "count")
        case.equal(answer.total, 21, "total")
        case.equal(answer.largest, 12, "largest")
        case.equal(answer.label, "week 1", "label")
        case.equal(list(answer.sorted), [-3, 5, 7, 12], "sorted")
    with report.case("Summarize a single value, no label") as case:
        answer = service.Summarize(value=[9])
        case.equal(answer.count, 1, "count")
        case.equal(answer.label, None, "label")
        case.equal(list(answer.sorted), [9], "sorted")
    with report.case("Summarize nothing: optional answers absent, list empty") as case:
        answer = service.Summarize(value=[])
        case.equal(answer.count, 0, "count")
        case.equal(answer.total, 0, "total")
        case.equal(answer.largest, None, "largest")
        case.equal(answer.label, None, "label")
        case.equal(list(answer.sorted or []), [], "sorted")
    with report.case("Summarize a long list: total beyond xsd:int") as case:
        values = [2147483647] * 300
        answer = service.Summarize(value=values)
        case.equal(answer.count, 300, "count")
        case.equal(answer.total, 2147483647 * 300, "total")
        case.equal(len(answer.sorted), 300, "sorted length")
    # zeep reads an empty element and a missing one both as None: these look
    # at the answer as sent.
    with report.case("Summarize of nothing sends no optional element") as case:
        answer = peer.body_element("Summarize", value=[])
        case.equal(names(answer), ["count", "total"], "elements")
    with report.case("Summarize keeps an empty label apart from none") as case:
        answer = peer.body_element("Summarize", value=[1], label="")
        case.equal(names(answer), ["count", "total", "largest", "label", "sorted"], "elements")
        case.equal(answer.findtext(f"{{{NS}}}label"), "", "label")
    with report.case("Index orders entries, optional notes kept") as case:
        answer = service.Index(entry=[
            {"key": "pear", "note": "ripe"},
            {"key": "apple"},
            {"key": "fig", "note": "dried"},
            {"key": "banana"},
        ])
        case.equal([e.key for e in answer.entry], ["apple", "banana", "fig", "pear"], "keys")
        case.equal([e.note for e in answer.entry], [None, None, "dried", "ripe"], "notes")
        case.equal(answer.withoutNote, 2, "withoutNote")
    with report.case("Index of one entry") as case:
        answer = service.Index(entry=[{"key": "only", "note": "x"}])
        case.equal([(e.key, e.note) for e in answer.entry], [("only", "x")], "entries")
        case.equal(answer.withoutNote, 0, "withoutNote")
