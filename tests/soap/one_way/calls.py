"""A one-way operation: zeep returns nothing, the server answers 202, and a
following request-response call shows the calls arrived."""

PROBE = ("Report", {}, "{urn:kxtest:journal}ReportResponse")


def run(service, report, peer):
    with report.case("Report before any Record") as case:
        answer = service.Report()
        case.equal((answer.count, answer.last), (0, None), "count, last")
    with report.case("Record is one-way: no answer, HTTP 202, and Report counts the calls") as case:
        for line in ("first entry", "second <entry> & more"):
            case.equal(service.Record(line=line), None, "returned")
            case.equal(peer.last_status, 202, "HTTP status")
        answer = service.Report()
        case.equal((answer.count, answer.last), (2, "second <entry> & more"), "count, last")
