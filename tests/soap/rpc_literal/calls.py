"""Calls of the rpc/literal geometry service: several parts in, one out."""

PROBE = ("repeat", {"word": "ab", "times": 2, "separator": "-"},
         "{urn:kxtest:geometry:rpc}repeatResponse")


def run(service, report, peer):
    with report.case("repeat takes three parts in order, non-ASCII text kept") as case:
        case.equal(service.repeat(word="la", times=3, separator=", "), "la, la, la")
        case.equal(service.repeat(word="\u00e9t\u00e9", times=2, separator="\u2192"),
                   "\u00e9t\u00e9\u2192\u00e9t\u00e9")
    with report.case("repeat zero times gives an empty part") as case:
        # zeep reads an empty element as None: the answer is checked as sent.
        answer = peer.body_element("repeat", word="x", times=0, separator="/")
        case.equal(answer.tag, PROBE[2], "wrapper")
        case.equal([(child.tag, child.text or "") for child in answer], [("text", "")], "parts")
    with report.case("repeat a negative number of times is a client fault") as case:
        peer.expect_fault(case, lambda: service.repeat(word="x", times=-1, separator=""),
                          "times must not be negative")
    with report.case("scale a complex-typed part") as case:
        scaled = service.scale(size={"width": 2.5, "height": 4.0}, factor=3.0)
        case.close(scaled.width, 7.5, "width")
        case.close(scaled.height, 12.0, "height")
