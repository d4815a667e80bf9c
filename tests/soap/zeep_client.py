"""Calls a deployed service with zeep, an independent SOAP stack, and checks
every answer; then sends, with plain HTTP, requests a SOAP stack would not.

    zeep_client.py FOLDER WSDL URL

FOLDER/calls.py defines run(service, report, peer), the calls and their
checks, and PROBE = (operation, arguments, "{namespace}Response"), a harmless
call the plain-HTTP checks start from. URL replaces the WSDL file's address;
KX_SOAP_BODY_LIMIT is the container's body limit (default 65536). One line
per check; exits 1 when one failed.
"""

import contextlib
import os
import runpy
import sys

import requests
import zeep
import zeep.exceptions
from lxml import etree
from zeep.wsdl.bindings import Soap12Binding

SOAP11_ENV = "http://schemas.xmlsoap.org/soap/envelope/"
SOAP12_ENV = "http://www.w3.org/2003/05/soap-envelope"


class CheckFailed(Exception):
    pass


class Report:
    """One PASS or FAIL line per check, made of the assertions below; the run
    goes on after a failure."""

    passed = failed = 0

    def equal(self, got, want, what="value"):
        if got != want:
            raise CheckFailed(f"{what} {got!r}, expected {want!r}")

    def close(self, got, want, what="value"):
        if got is None or abs(got - want) > 1e-9 * max(1.0, abs(want)):
            raise CheckFailed(f"{what} {got!r}, expected {want!r}")

    def true(self, condition, message):
        if not condition:
            raise CheckFailed(message)

    @contextlib.contextmanager
    def case(self, name):
        try:
            yield self
        except Exception as error:  # a failed assertion, or an answer that broke the client
            self.failed += 1
            detail = str(error) if isinstance(error, CheckFailed) else f"{type(error).__name__}: {error}"
            print(f"FAIL {name}: {(detail.strip().splitlines() or [repr(error)])[0]}", flush=True)
        else:
            self.passed += 1
            print(f"PASS {name}", flush=True)


def fault_code_local(code, soap12):
    """The local part of a QName fault code, in SOAP 1.1 before a dot (Client.Auth)."""
    local = (code or "").strip().rpartition(":")[2].rpartition("}")[2]
    return local if soap12 else local.split(".")[0]


class Peer:
    """The port's facts and the checks zeep alone does not make."""

    def __init__(self, wsdl, url):
        self.transport = zeep.Transport(timeout=30, operation_timeout=30)
        self.client = zeep.Client(wsdl, transport=self.transport)
        port = next(iter(next(iter(self.client.wsdl.services.values())).ports.values()))
        self.binding = port.binding
        self.soap12 = isinstance(port.binding, Soap12Binding)
        self.env = SOAP12_ENV if self.soap12 else SOAP11_ENV
        self.client_code = "Sender" if self.soap12 else "Client"
        self.service = self.client.create_service(port.binding.name, url)
        self.last_status = None
        post = self.transport.post

        def recording_post(*args):  # zeep hides the HTTP status of an answer
            self.last_status = None
            response = post(*args)
            self.last_status = response.status_code
            return response

        self.transport.post = recording_post

    def body_content(self, content, env=None):
        """The first element of the Body of an answer in the port's envelope (or env's)."""
        env = env or self.env
        root = etree.fromstring(content)
        if root.tag != f"{{{env}}}Envelope":
            raise CheckFailed(f"the answer's root is {root.tag}, not {{{env}}}Envelope")
        body = root.find(f"{{{env}}}Body")
        if body is None or len(body) == 0:
            raise CheckFailed("the answer's Body is missing or empty")
        return body[0]

    def body_element(self, operation, *args, **kwargs):
        """The answer's first Body element as sent, unread by zeep: for what its
        reading blurs (an empty element and a missing one both read as None) or
        cannot read (zeep 4.2 fails on a bare body element of a simple type)."""
        with self.client.settings(raw_response=True):
            response = getattr(self.service, operation)(*args, **kwargs)
        if response.status_code != 200:
            raise CheckFailed(f"HTTP status {response.status_code}")
        return self.body_content(response.content)

    def expect_fault(self, case, call, reason_contains):
        """call() must raise a SOAP fault of the client's code sent with HTTP
        500, whose reason holds reason_contains."""
        try:
            result = call()
        except zeep.exceptions.Fault as fault:
            case.equal(self.last_status, 500, "HTTP status of the fault")
            case.equal(fault_code_local(fault.code, self.soap12), self.client_code, "fault code")
            case.true(reason_contains in (fault.message or ""),
                      f"fault reason {fault.message!r} does not mention {reason_contains!r}")
            return fault
        raise CheckFailed(f"no fault; the call returned {result!r}")


def protocol_checks(report, peer, url, operation, valid, response_tag, body_limit):
    """Broken, unknown, mislabelled and oversized requests, and that the
    server still answers after them."""
    env, soap12 = peer.env, peer.soap12

    def post(body, action=None):
        headers = ({"Content-Type": "application/soap+xml; charset=utf-8"
                    + (f'; action="{action}"' if action else "")} if soap12 else
                   {"Content-Type": "text/xml; charset=utf-8", "SOAPAction": f'"{action or ""}"'})
        return requests.post(url, data=body, headers=headers, timeout=30)

    def served(case, answer):
        case.equal(answer.status_code, 200, "HTTP status")
        case.equal(answer.headers.get("content-type", "").split(";")[0].strip().lower(),
                   "application/soap+xml" if soap12 else "text/xml", "content type")
        case.equal(peer.body_content(answer.content).tag, response_tag, "response element")

    def fault(code, fault_env=env, allow_400=False):
        """HTTP 500 with a fault of fault_env: a reason, and a code whose local
        part is code and whose prefix stands for fault_env (or 400 if allowed)."""
        def check(case, answer):
            if allow_400 and answer.status_code == 400:
                return
            case.equal(answer.status_code, 500, "HTTP status")
            found = peer.body_content(answer.content, fault_env)
            case.equal(found.tag, f"{{{fault_env}}}Fault", "body element")
            ns = f"{{{fault_env}}}"
            value, reason = ((found.findtext(f"{ns}Code/{ns}Value"), found.findtext(f"{ns}Reason/{ns}Text"))
                             if fault_env == SOAP12_ENV else (found.findtext("faultcode"), found.findtext("faultstring")))
            case.equal(fault_code_local(value, fault_env == SOAP12_ENV), code, "fault code")
            prefix = value.strip().rpartition(":")[0]
            case.equal(found.nsmap.get(prefix or None), fault_env, f"namespace of {value!r}'s prefix")
            case.true(bool(reason and reason.strip()), "the fault gives no reason")
        return check

    def with_header_block(must_understand):
        root = etree.fromstring(valid)
        header = root.find(f"{{{env}}}Header")
        if header is None:
            header = etree.Element(f"{{{env}}}Header")
            root.insert(0, header)
        etree.SubElement(header, "{urn:kxtest:trace}Trace", {f"{{{env}}}mustUnderstand": must_understand})
        return etree.tostring(root)

    def envelope(inner, end="</e:Envelope>"):
        return f'<?xml version="1.0"?><e:Envelope xmlns:e="{env}">{inner}{end}'.encode()

    text = valid.decode()
    cut = text.rindex("</")  # a valid envelope made large by white space
    oversized = (text[:cut] + " " * (body_limit + 4096) + text[cut:]).encode()
    others = sorted(name for name in peer.binding.all() if name != operation)
    checks = [
        ("valid request served", valid, None, served),
        ("wrong SOAPAction, served by the body's element", valid, "urn:kxtest:no-such-action", served),
        (f"SOAPAction of {others[0]} on a request of {operation}, served by the body's element",
         valid, peer.binding.get(others[0]).soapaction, served) if others else None,
        ("malformed envelope refused",
         envelope('<e:Body><x:Broken xmlns:x="urn:kxtest:broken"><open></e:Body>', ""), None,
         fault(peer.client_code, allow_400=True)),
        ("unknown body element is a client fault",
         envelope('<e:Body><x:NoSuchOperation xmlns:x="urn:kxtest:nowhere"><x:v>1</x:v>'
                  '</x:NoSuchOperation></e:Body>'), None, fault(peer.client_code)),
        ("envelope without Body is a client fault", envelope("<e:Header/>"), None,
         fault(peer.client_code, allow_400=True)),
        ("header block to understand is a MustUnderstand fault",
         with_header_block("true" if soap12 else "1"), None, fault("MustUnderstand")),
        ("header block that may be ignored is ignored", with_header_block("0"), None, served),
        # Which version to answer in, a message that is no envelope does not say: SOAP 1.1.
        ("a message that is no envelope is a VersionMismatch fault",
         b'<x:Operands xmlns:x="urn:kxtest:nowhere"><x:a>1</x:a></x:Operands>', None,
         fault("VersionMismatch", SOAP11_ENV)),
        (f"body over the container's limit ({body_limit} bytes) gets 413", oversized, None,
         lambda case, answer: case.equal(answer.status_code, 413, "HTTP status")),
        ("still answering after the bad requests", valid, None, served),
    ]
    for name, body, action, check in filter(None, checks):
        with report.case(f"http: {name}") as case:
            check(case, post(body, action))


def main(argv):
    if len(argv) != 4:
        sys.exit(__doc__)
    folder, wsdl, url = argv[1:]
    report = Report()
    peer = Peer(wsdl, url)
    calls = runpy.run_path(os.path.join(folder, "calls.py"))
    calls["run"](peer.service, report, peer)

    operation, arguments, response_tag = calls["PROBE"]
    valid = None
    with report.case(f"zeep: request of {operation} for the plain-HTTP checks"):
        if isinstance(arguments, dict):
            message = peer.client.create_message(peer.service, operation, **arguments)
        else:
            message = peer.client.create_message(peer.service, operation, *arguments)
        valid = etree.tostring(message, xml_declaration=True, encoding="utf-8")
    if valid is not None:
        limit = int(os.environ.get("KX_SOAP_BODY_LIMIT", "65536"))
        protocol_checks(report, peer, url, operation, valid, response_tag, limit)
    print(f"client: {report.passed} passed, {report.failed} failed", flush=True)
    return 1 if report.failed else 0


if __name__ == "__main__":
    with contextlib.suppress(BrokenPipeError):
        sys.exit(main(sys.argv))
