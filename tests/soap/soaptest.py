"""Helpers of the SOAP peer tests: what a WSDL file says about its one port,
the check report, and the protocol checks made with plain HTTP.

Standard library and zeep only. Run as a program, it prints what run_soap.sh
needs to know about a WSDL file:

    soaptest.py address-path FILE.wsdl   the path of the port's address
"""

import contextlib
import http.client
import re
import sys
import traceback
import urllib.parse
import xml.etree.ElementTree as ET

WSDL_NS = "http://schemas.xmlsoap.org/wsdl/"
SOAP11_BINDING_NS = "http://schemas.xmlsoap.org/wsdl/soap/"
SOAP12_BINDING_NS = "http://schemas.xmlsoap.org/wsdl/soap12/"
SOAP11_ENV = "http://schemas.xmlsoap.org/soap/envelope/"
SOAP12_ENV = "http://www.w3.org/2003/05/soap-envelope"


class PortInfo:
    """The first port of the first service of a WSDL file."""

    def __init__(self, path):
        root = ET.parse(path).getroot()
        self.target_namespace = root.get("targetNamespace")
        service = root.find(f"{{{WSDL_NS}}}service")
        if service is None:
            raise ValueError(f"{path}: no wsdl:service")
        port = service.find(f"{{{WSDL_NS}}}port")
        if port is None:
            raise ValueError(f"{path}: service {service.get('name')} has no port")
        self.service = service.get("name")
        self.port = port.get("name")
        prefix, _, local = port.get("binding").rpartition(":")
        namespace = self._namespace_of(path, prefix)
        self.binding_qname = f"{{{namespace}}}{local}"
        address = port.find(f"{{{SOAP11_BINDING_NS}}}address")
        self.soap_version = "1.1"
        if address is None:
            address = port.find(f"{{{SOAP12_BINDING_NS}}}address")
            self.soap_version = "1.2"
        if address is None:
            raise ValueError(f"{path}: port {self.port} has no SOAP address")
        self.location = address.get("location")
        # soapAction of each operation of the port's binding.
        self.actions = {}
        for binding in root.findall(f"{{{WSDL_NS}}}binding"):
            if binding.get("name") != local:
                continue
            for operation in binding.findall(f"{{{WSDL_NS}}}operation"):
                for ns in (SOAP11_BINDING_NS, SOAP12_BINDING_NS):
                    soap_operation = operation.find(f"{{{ns}}}operation")
                    if soap_operation is not None and soap_operation.get("soapAction"):
                        self.actions[operation.get("name")] = soap_operation.get("soapAction")
        self.address_path = urllib.parse.urlsplit(self.location).path or "/"

    @staticmethod
    def _namespace_of(path, prefix):
        # ElementTree drops the prefixes; read the declarations again.
        declared = {}
        for _, (name, uri) in ET.iterparse(path, events=["start-ns"]):
            declared.setdefault(name, uri)
        if prefix not in declared:
            raise ValueError(f"{path}: undeclared prefix {prefix!r}")
        return declared[prefix]

    @property
    def envelope_ns(self):
        return SOAP12_ENV if self.soap_version == "1.2" else SOAP11_ENV

    @property
    def client_code(self):
        """The fault code of a request the server cannot serve as sent."""
        return "Sender" if self.soap_version == "1.2" else "Client"


class Report:
    """One line per check, PASS, FAIL or SKIP, and the counts."""

    def __init__(self, prefix=""):
        self.prefix = prefix
        self.counts = {"PASS": 0, "FAIL": 0, "SKIP": 0}

    def line(self, verdict, name, detail=""):
        self.counts[verdict] += 1
        text = f"{verdict} {self.prefix}{name}"
        if detail:
            text += f": {detail}"
        print(text, flush=True)

    def skip(self, name, why):
        self.line("SKIP", name, why)

    @contextlib.contextmanager
    def case(self, name):
        """A check made of the assertions in the with-block. An assertion that
        fails or an unexpected exception makes it FAIL; the run goes on."""
        case = Case()
        try:
            yield case
        except CheckFailed as failure:
            self.line("FAIL", name, str(failure))
            return
        except Exception as error:  # the peer's answer broke the client
            detail = f"{type(error).__name__}: {error}".strip()
            self.line("FAIL", name, detail.splitlines()[0] if detail else repr(error))
            if "--verbose" in sys.argv:
                traceback.print_exc()
            return
        if case.skipped:
            self.skip(name, case.skipped)
        else:
            self.line("PASS", name)

    @property
    def failed(self):
        return self.counts["FAIL"] > 0


class CheckFailed(Exception):
    pass


class Case:
    """The assertions available inside Report.case."""

    def __init__(self):
        self.skipped = None

    def equal(self, got, want, what="value"):
        if got != want:
            raise CheckFailed(f"{what} {got!r}, expected {want!r}")

    def close(self, got, want, what="value", tolerance=1e-9):
        if got is None or abs(got - want) > tolerance * max(1.0, abs(want)):
            raise CheckFailed(f"{what} {got!r}, expected {want!r}")

    def true(self, condition, message):
        if not condition:
            raise CheckFailed(message)

    def skip(self, why):
        self.skipped = why


def fault_code_local(code, soap_version="1.1"):
    """The local part of a fault code as zeep reports it (prefix:Local).
    SOAP 1.1 codes may be refined with dots (Client.Authentication): the
    part before the first dot is the code."""
    local = (code or "").strip().rpartition(":")[2].rpartition("}")[2]
    return local.split(".")[0] if soap_version == "1.1" else local


# Plain HTTP ---------------------------------------------------------------


class Answer:
    def __init__(self, status, headers, body):
        self.status = status
        self.headers = headers
        self.body = body

    @property
    def content_type(self):
        return self.headers.get("content-type", "")

    def root(self):
        return ET.fromstring(self.body)


def post(url, body, headers, timeout=30):
    """POSTs body and returns the answer; None as status when the server
    closed the connection without one."""
    parts = urllib.parse.urlsplit(url)
    connection = http.client.HTTPConnection(parts.hostname, parts.port, timeout=timeout)
    target = parts.path + (f"?{parts.query}" if parts.query else "")
    try:
        connection.request("POST", target, body=body, headers=headers)
        response = connection.getresponse()
        data = response.read()
        return Answer(response.status, {k.lower(): v for k, v in response.getheaders()}, data)
    except (ConnectionError, http.client.HTTPException) as error:
        return Answer(None, {}, str(error).encode())
    finally:
        connection.close()


def soap_headers(info, action):
    if info.soap_version == "1.2":
        content_type = "application/soap+xml; charset=utf-8"
        if action is not None:
            content_type += f'; action="{action}"'
        return {"Content-Type": content_type}
    return {"Content-Type": "text/xml; charset=utf-8", "SOAPAction": f'"{action or ""}"'}


def body_content(answer, info):
    """The first element inside the answer's Body (the answer must be an
    envelope of the port's SOAP version)."""
    root = answer.root()
    if root.tag != f"{{{info.envelope_ns}}}Envelope":
        raise CheckFailed(f"the answer's root is {root.tag}, not an Envelope of SOAP {info.soap_version}")
    body = root.find(f"{{{info.envelope_ns}}}Body")
    if body is None or len(body) == 0:
        raise CheckFailed("the answer's Body is missing or empty")
    return body[0]


def check_client_fault(case, answer, info, allow_400=False):
    """An answer refusing the request as the client's fault: HTTP 500 with a
    SOAP fault whose code is Client (1.1) or Sender (1.2), or 400 when that is
    allowed."""
    if allow_400 and answer.status == 400:
        return
    check_fault(case, answer, info.envelope_ns, info.client_code)


def check_fault(case, answer, envelope_ns, code_local):
    """HTTP 500 with a SOAP fault of the envelope namespace, a reason, and a
    code whose local part is code_local and whose prefix stands for the
    envelope namespace."""
    case.equal(answer.status, 500, "HTTP status")
    root = answer.root()
    case.equal(root.tag, f"{{{envelope_ns}}}Envelope", "the answer's root")
    body = root.find(f"{{{envelope_ns}}}Body")
    case.true(body is not None and len(body) > 0, "the answer's Body is missing or empty")
    fault = body[0]
    case.equal(fault.tag, f"{{{envelope_ns}}}Fault", "body element")
    if envelope_ns == SOAP12_ENV:
        code = fault.findtext(f"{{{SOAP12_ENV}}}Code/{{{SOAP12_ENV}}}Value")
        reason = fault.findtext(f"{{{SOAP12_ENV}}}Reason/{{{SOAP12_ENV}}}Text")
    else:
        code = fault.findtext("faultcode")
        reason = fault.findtext("faultstring")
    case.true(code is not None, "the fault has no code")
    prefix = code.strip().rpartition(":")[0]
    version = "1.2" if envelope_ns == SOAP12_ENV else "1.1"
    case.equal(fault_code_local(code, version), code_local, "fault code")
    # The code is a QName: its prefix must stand for the envelope namespace.
    text = answer.body.decode("utf-8", "replace")
    declared = re.findall(r'xmlns(?::([\w.-]+))?\s*=\s*["\']([^"\']*)["\']', text)
    case.true((prefix, envelope_ns) in declared,
              f"fault code {code!r}: prefix not bound to {envelope_ns}")
    case.true(bool(reason and reason.strip()), "the fault gives no reason")


def with_header_block(envelope, envelope_ns, must_understand):
    """The envelope with a header block {urn:kxtest:trace}Trace whose
    mustUnderstand attribute has the given value."""
    root = ET.fromstring(envelope)
    header = root.find(f"{{{envelope_ns}}}Header")
    if header is None:
        header = ET.Element(f"{{{envelope_ns}}}Header")
        root.insert(0, header)
    ET.SubElement(header, "{urn:kxtest:trace}Trace",
                  {f"{{{envelope_ns}}}mustUnderstand": must_understand})
    return ET.tostring(root, encoding="utf-8")


def protocol_checks(report, info, url, operation, valid_envelope, expected_response, body_limit):
    """The requests a SOAP stack would not send: broken, unknown, mislabelled
    and oversized ones, and that the server still answers after them."""
    envelope_ns = info.envelope_ns

    def served(case, answer):
        case.equal(answer.status, 200, "HTTP status")
        media = answer.content_type.split(";")[0].strip().lower()
        case.equal(media, "application/soap+xml" if info.soap_version == "1.2" else "text/xml",
                   "content type")
        case.equal(body_content(answer, info).tag, expected_response, "response element")

    with report.case("http: valid request served") as case:
        served(case, post(url, valid_envelope, soap_headers(info, None)))

    with report.case("http: wrong SOAPAction, served by the body's element") as case:
        served(case, post(url, valid_envelope, soap_headers(info, "urn:kxtest:no-such-action")))

    others = sorted(name for name in info.actions if name != operation)
    if others:
        with report.case(f"http: SOAPAction of {others[0]} on a request of {operation},"
                         " served by the body's element") as case:
            served(case, post(url, valid_envelope, soap_headers(info, info.actions[others[0]])))

    with report.case("http: malformed envelope refused") as case:
        broken = (f'<?xml version="1.0"?><e:Envelope xmlns:e="{envelope_ns}"><e:Body>'
                  f'<x:Broken xmlns:x="urn:kxtest:broken"><open></e:Body>').encode()
        check_client_fault(case, post(url, broken, soap_headers(info, None)), info, allow_400=True)

    with report.case("http: unknown body element is a client fault") as case:
        unknown = (f'<?xml version="1.0"?><e:Envelope xmlns:e="{envelope_ns}"><e:Body>'
                   f'<x:NoSuchOperation xmlns:x="urn:kxtest:nowhere"><x:v>1</x:v></x:NoSuchOperation>'
                   f'</e:Body></e:Envelope>').encode()
        check_client_fault(case, post(url, unknown, soap_headers(info, None)), info)

    with report.case("http: envelope without Body is a client fault") as case:
        bodiless = (f'<?xml version="1.0"?><e:Envelope xmlns:e="{envelope_ns}"><e:Header/>'
                    f'</e:Envelope>').encode()
        check_client_fault(case, post(url, bodiless, soap_headers(info, None)), info, allow_400=True)

    with report.case("http: header block to understand is a MustUnderstand fault") as case:
        flag = "true" if info.soap_version == "1.2" else "1"
        answer = post(url, with_header_block(valid_envelope, envelope_ns, flag),
                      soap_headers(info, None))
        check_fault(case, answer, envelope_ns, "MustUnderstand")

    with report.case("http: header block that may be ignored is ignored") as case:
        served(case, post(url, with_header_block(valid_envelope, envelope_ns, "0"),
                          soap_headers(info, None)))

    with report.case("http: a message that is no envelope is a VersionMismatch fault") as case:
        answer = post(url, b'<x:Operands xmlns:x="urn:kxtest:nowhere"><x:a>1</x:a></x:Operands>',
                      soap_headers(info, None))
        # Which version to answer in the message does not say: SOAP 1.1.
        check_fault(case, answer, SOAP11_ENV, "VersionMismatch")

    with report.case(f"http: body over the container's limit ({body_limit} bytes) gets 413") as case:
        # A valid envelope made large by white space between its elements.
        text = valid_envelope.decode("utf-8")
        cut = text.rindex("</")
        padding = " " * (body_limit + 4096)
        oversized = (text[:cut] + padding + text[cut:]).encode("utf-8")
        answer = post(url, oversized, soap_headers(info, None))
        case.equal(answer.status, 413, "HTTP status")

    with report.case("http: still answering after the bad requests") as case:
        served(case, post(url, valid_envelope, soap_headers(info, None)))


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "address-path":
        print(PortInfo(sys.argv[2]).address_path)
    else:
        sys.exit("usage: soaptest.py address-path FILE.wsdl")
