"""Calls over the SOAP 1.2 binding; a fault's code must be Sender."""

PROBE = ("Greet", {"name": "Ada", "language": "en"}, "{urn:kxtest:greeter}GreetResponse")


def run(service, report, peer):
    with report.case("Greet in English and French") as case:
        case.equal(service.Greet(name="Ada", language="en"), "Hello, Ada!")
        case.equal(service.Greet(name="Zo\u00eb", language="fr"), "Bonjour, Zo\u00eb !")
    with report.case("Greet in an unknown language is a Sender fault") as case:
        peer.expect_fault(case, lambda: service.Greet(name="Ada", language="tlh"),
                          "no greeting in language 'tlh'")
    # Two fields back; the length counts characters, not bytes.
    for text, shouted, length in [("quiet, please", "QUIET, PLEASE", 13),
                                  ("gr\u00fc\u00dfe \u65e5\u672c", "GR\u00fc\u00dfE \u65e5\u672c", 8)]:
        with report.case(f"Shout {text!r}") as case:
            answer = service.Shout(text=text)
            case.equal((answer.text, answer.length), (shouted, length), "text, length")
