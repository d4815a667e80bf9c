"""Calls of the bare document/literal library: the parts' elements are the
whole body, and zeep hands back the response element's content."""

PROBE = ("countWords", ["one two"], "{http://www.kxtest.org/2025/library}WordTally")

TALLY = "{http://www.kxtest.org/2025/library}WordTally"


def run(service, report, peer):
    with report.case("findBook returns every field") as case:
        book = service.findBook(isbn="978-0-00-000001-1")
        case.equal(book.title, "Rivers of Salt", "title")
        case.equal(book.author, "Ines Marlowe", "author")
        case.equal(book.year, 1987, "year")
        case.equal(book.available, True, "available")
    with report.case("findBook: false and markup characters survive") as case:
        book = service.findBook(isbn="978-0-00-000003-5")
        case.equal(book.title, "Ashes & <Embers>", "title")
        case.equal(book.author, "K. O'Neill", "author")
        book = service.findBook(isbn="978-0-00-000002-8")
        case.equal(book.available, False, "available")
    with report.case("findBook of an unknown ISBN is a client fault") as case:
        peer.expect_fault(case, lambda: service.findBook(isbn="0-0"), "no book with ISBN 0-0")
    # zeep 4.2 cannot read a bare answer of a simple type: the element is
    # checked as sent.
    with report.case("countWords of a simple-typed element") as case:
        tally = peer.body_element("countWords", "the  quick\tbrown\nfox ")
        case.equal(tally.tag, TALLY, "answer element")
        case.equal(int(tally.text), 4, "tally")
    with report.case("countWords of empty text") as case:
        tally = peer.body_element("countWords", "")
        case.equal(tally.tag, TALLY, "answer element")
        case.equal(int(tally.text), 0, "tally")
