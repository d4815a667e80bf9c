"""Calls of the session service, whose Greet reads a Credentials header block
and answers with a Session header block. The counts of greetings per user
change as the calls go, so their order matters."""

import zeep.exceptions
from lxml import etree

PROBE = ("Echo", {"text": "probe"}, "{urn:kxtest:session}EchoResponse")

NS = "urn:kxtest:session"


def block(peer, name, must_understand=None, **children):
    """A header block {NS}name with the children, marked mustUnderstand if asked."""
    attributes = {} if must_understand is None else {f"{{{peer.env}}}mustUnderstand": must_understand}
    element = etree.Element(f"{{{NS}}}{name}", attributes, nsmap={"s": NS})
    for child, text in children.items():
        etree.SubElement(element, f"{{{NS}}}{child}").text = text
    return element


def credentials(peer, username, token, must_understand=None):
    return block(peer, "Credentials", must_understand, username=username, token=token)


def run(service, report, peer):
    yes = "true" if peer.soap12 else "1"

    def greet(name, headers):
        answer = service.Greet(name=name, _soapheaders=headers)
        return answer.body.greeting, answer.header.session.id, answer.header.session.calls

    # The values zeep takes for the declared header, and a block marked
    # mustUnderstand, which the server must accept as understood.
    with report.case("Greet reads Credentials and answers with a Session that counts") as case:
        case.equal(greet("Ann", {"credentials": {"username": "ann", "token": "secret-ann"}}),
                   ("Hello, Ann, from ann", "session-ann", 1))
        case.equal(greet("Ann", [credentials(peer, "ann", "secret-ann", yes)]),
                   ("Hello, Ann, from ann", "session-ann", 2))
        case.equal(greet("Bob", [credentials(peer, "bob", "secret-bob", yes)]),
                   ("Hello, Bob, from bob", "session-bob", 1))
    with report.case("Credentials to understand sent to Echo, which declares none, are refused") as case:
        try:
            result = service.Echo(text="hi", _soapheaders=[credentials(peer, "ann", "secret-ann", yes)])
            raise AssertionError(f"no fault; the call returned {result!r}")
        except zeep.exceptions.Fault as fault:
            case.equal(peer.last_status, 500, "HTTP status of the fault")
            case.equal(fault.code.rpartition(":")[2], "MustUnderstand", "fault code")
    with report.case("Echo ignores a block that may be ignored") as case:
        case.equal(service.Echo(text="hi", _soapheaders=[credentials(peer, "ann", "x")]), "hi")
    # Refused credentials: the header fault AuthFailed as the fault's detail.
    for username, token, reason in [("ann", "secret-bob", "wrong token"), ("", "", "no credentials")]:
        with report.case(f"Greet with credentials {username!r}/{token!r}: AuthFailed, {reason}") as case:
            fault = peer.expect_fault(
                case, lambda: service.Greet(name="Eve", _soapheaders=[credentials(peer, username, token)]),
                reason)
            child = fault.detail[0] if fault.detail is not None and len(fault.detail) else None
            case.equal(getattr(child, "tag", None), f"{{{NS}}}AuthFailed", "detail element")
            case.equal((child.findtext(f"{{{NS}}}username"), child.findtext(f"{{{NS}}}reason")),
                       (username, reason), "detail")
    with report.case("Greet without the Credentials block: AuthFailed") as case:
        peer.expect_fault(case, lambda: service.Greet(name="Eve"), "no credentials")
    with report.case("a refused call leaves the count") as case:
        case.equal(greet("Ann", {"credentials": {"username": "ann", "token": "secret-ann"}})[2], 3)
