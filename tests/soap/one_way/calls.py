"""A one-way operation: zeep returns nothing, the server answers 202, and a
following request-response call shows the calls arrived."""

PROBE = ("Report", {}, "{urn:kxtest:journal}ReportResponse")


def run(service, report, peer):
    with report.case("Report before any Record") as case:
        answer = service.Report()
        case.equal(answer.count, 0, "count")
        case.equal(answer.last, None, "last")
    with report.case("Record is one-way: no answer, HTTP 202") as case:
        case.equal(service.Record(line="first entry"), None, "returned")
        case.equal(peer.last_status, 202, "HTTP status")
    with report.case("Record again") as case:
        case.equal(service.Record(line="second <entry> & more"), None, "returned")
        case.equal(peer.last_status, 202, "HTTP status")
    with report.case("Report counts the one-way calls") as case:
        answer = service.Report()
        case.equal(answer.count, 2, "count")
        case.equal(answer.last, "second <entry> & more", "last")
