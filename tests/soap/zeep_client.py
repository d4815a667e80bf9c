"""Calls a deployed service with zeep, an independent SOAP stack, and checks
every answer; then makes the protocol checks with plain HTTP.

    zeep_client.py FOLDER WSDL URL [--verbose]

FOLDER holds calls.py, which defines
  run(service, report, peer)  the calls and their checks (see Peer), and
  PROBE = (operation, {arguments} or [arguments], "{namespace}Response")
                              a harmless call the plain-HTTP checks build
                              their valid request from.
URL is where the service answers; it replaces the WSDL file's address.
KX_SOAP_BODY_LIMIT is the container's request body limit in bytes
(default 65536). Prints one line per check; exits 1 when one failed.
"""

import contextlib
import os
import runpy
import sys
import types

import zeep
import zeep.exceptions
from lxml import etree

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import soaptest  # noqa: E402


class RecordingTransport(zeep.Transport):
    """Remembers the HTTP status of the last answer, which zeep hides."""

    def __init__(self):
        super().__init__(timeout=30, operation_timeout=30)
        self.last_status = None

    def post(self, address, message, headers):
        self.last_status = None
        response = super().post(address, message, headers)
        self.last_status = response.status_code
        return response


class Peer:
    """What calls.py needs besides the service: the WSDL's facts and checks
    of faults and statuses that zeep alone does not make."""

    def __init__(self, info, client, service, transport):
        self.info = info
        self.client = client
        self.service = service
        self.transport = transport

    @property
    def last_status(self):
        return self.transport.last_status

    def body_element(self, operation, *args, **kwargs):
        """Calls the operation through zeep and returns the answer's first
        Body element as sent, unread by zeep: for what zeep's reading blurs
        (an empty element and a missing one both read as None) or cannot read
        (zeep 4.2 fails on a bare body element of a simple type)."""
        with self.client.settings(raw_response=True):
            response = getattr(self.service, operation)(*args, **kwargs)
        if response.status_code != 200:
            raise soaptest.CheckFailed(f"HTTP status {response.status_code}")
        answer = soaptest.Answer(response.status_code, {}, response.content)
        return soaptest.body_content(answer, self.info)

    def expect_fault(self, case, call, reason_contains, code=None):
        """call() must raise a SOAP fault sent with HTTP 500, whose code is
        the client's (Client or Sender by the SOAP version) unless code names
        another, and whose reason holds reason_contains. Returns the fault."""
        try:
            result = call()
        except zeep.exceptions.Fault as fault:
            case.equal(self.last_status, 500, "HTTP status of the fault")
            case.equal(soaptest.fault_code_local(fault.code, self.info.soap_version), code or self.info.client_code,
                       "fault code")
            case.true(reason_contains in (fault.message or ""),
                      f"fault reason {fault.message!r} does not mention {reason_contains!r}")
            return fault
        raise soaptest.CheckFailed(f"no fault; the call returned {result!r}")


def load_calls(folder):
    return types.SimpleNamespace(**runpy.run_path(os.path.join(folder, "calls.py")))


def main(argv):
    args = [a for a in argv[1:] if a != "--verbose"]
    if len(args) != 3:
        sys.exit(__doc__)
    folder, wsdl, url = args
    report = soaptest.Report()
    info = soaptest.PortInfo(wsdl)
    calls = load_calls(folder)
    transport = RecordingTransport()
    client = zeep.Client(wsdl, transport=transport)
    service = client.create_service(info.binding_qname, url)

    with report.case(f"zeep: SOAP {info.soap_version} binding {info.binding_qname} found") as case:
        case.equal(client.wsdl.bindings[info.binding_qname].__class__.__name__,
                   "Soap12Binding" if info.soap_version == "1.2" else "Soap11Binding",
                   "binding kind")

    calls.run(service, report, Peer(info, client, service, transport))

    operation, arguments, response_element = calls.PROBE
    valid = None
    with report.case(f"zeep: request of {operation} for the plain-HTTP checks") as case:
        if isinstance(arguments, dict):
            envelope = client.create_message(service, operation, **arguments)
        else:
            envelope = client.create_message(service, operation, *arguments)
        valid = etree.tostring(envelope, xml_declaration=True, encoding="utf-8")
    if valid is not None:
        limit = int(os.environ.get("KX_SOAP_BODY_LIMIT", "65536"))
        soaptest.protocol_checks(report, info, url, operation, valid, response_element, limit)

    counts = report.counts
    print(f"client: {counts['PASS']} passed, {counts['FAIL']} failed, {counts['SKIP']} skipped",
          flush=True)
    return 1 if report.failed else 0


if __name__ == "__main__":
    with contextlib.suppress(BrokenPipeError):
        sys.exit(main(sys.argv))
