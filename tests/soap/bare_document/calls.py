"""Calls of the bare document/literal library: the parts' elements are the
whole body, and zeep hands back the response element's content."""

PROBE = ("countWords", ["one two"], "{http://www.kxtest.org/2025/library}WordTally")


def run(service, report, peer):
    # Every field; false and markup characters survive.
    for isbn, want in [("978-0-00-000001-1", ("Rivers of Salt", "Ines Marlowe", 1987, True)),
                       ("978-0-00-000002-8", ("The Quiet Lathe", "Tomas Brek", 2004, False)),
                       ("978-0-00-000003-5", ("Ashes & <Embers>", "K. O'Neill", 2019, True))]:
        with report.case(f"findBook {isbn}") as case:
            book = service.findBook(isbn=isbn)
            case.equal((book.title, book.author, book.year, book.available), want, "book")
    with report.case("findBook of an unknown ISBN is a client fault") as case:
        peer.expect_fault(case, lambda: service.findBook(isbn="0-0"), "no book with ISBN 0-0")
    # zeep 4.2 cannot read a bare answer of a simple type: checked as sent.
    for text, words in [("the  quick\tbrown\nfox ", 4), ("", 0)]:
        with report.case(f"countWords {text!r}") as case:
            tally = peer.body_element("countWords", text)
            case.equal((tally.tag, int(tally.text)), (PROBE[2], words), "answer element, tally")
