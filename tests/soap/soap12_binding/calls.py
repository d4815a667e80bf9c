"""Calls over the SOAP 1.2 binding; a fault's code must be Sender."""

PROBE = ("Greet", {"name": "Ada", "language": "en"}, "{urn:kxtest:greeter}GreetResponse")


def run(service, report, peer):
    with report.case("Greet in English and French") as case:
        case.equal(service.Greet(name="Ada", language="en"), "Hello, Ada!")
        case.equal(service.Greet(name="Zo\u00eb", language="fr"), "Bonjour, Zo\u00eb !")
    with report.case("Greet in an unknown language is a Sender fault") as case:
        peer.expect_fault(case, lambda: service.Greet(name="Ada", language="tlh"),
                          "no greeting in language 'tlh'")
    with report.case("Shout returns two fields") as case:
        answer = service.Shout(text="quiet, please")
        case.equal(answer.text, "QUIET, PLEASE", "text")
        case.equal(answer.length, 13, "length")
    with report.case("Shout counts characters, not bytes") as case:
        answer = service.Shout(text="gr\u00fc\u00dfe \u65e5\u672c")
        case.equal(answer.text, "GR\u00fc\u00dfE \u65e5\u672c", "text")
        case.equal(answer.length, 8, "length")
