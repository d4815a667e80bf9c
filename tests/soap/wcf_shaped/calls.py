"""Calls of the lookup service through both of its SOAP bindings: the same
servlet answers SOAP 1.1 at the first port's path and SOAP 1.2 at the
second's, and counts the lookups of both. The HTTP GET binding is not served."""

import urllib.parse

import requests
from zeep.proxy import ServiceProxy
from lxml import etree
from zeep.wsdl.bindings import Soap11Binding, Soap12Binding

PROBE = ("Find", {"code": "A-1"}, "{urn:kxtest:lookup:messages}FindResponse")


def port_of(peer, binding_type):
    for service in peer.client.wsdl.services.values():
        for port in service.ports.values():
            if type(port.binding) is binding_type:
                return port
    raise AssertionError(f"no port with a {binding_type.__name__}")


def path_of(port):
    return urllib.parse.urlsplit(port.binding_options["address"]).path


def run(service, report, peer):
    # Where the container serves the ports: the address the test gives the
    # SOAP 1.1 port, less that port's path in the WSDL file.
    soap11_url = service._binding_options["address"]
    base = soap11_url[: -len(path_of(port_of(peer, Soap11Binding)))]
    soap12 = ServiceProxy(peer.client, port_of(peer, Soap12Binding).binding,
                          address=base + path_of(port_of(peer, Soap12Binding)))

    for version, proxy in [("1.1", service), ("1.2", soap12)]:
        with report.case(f"SOAP {version}: Find a known item") as case:
            found = proxy.Find(code="A-1")
            case.equal((found.Code, found.Name, str(found.Price), found.Tags),
                       ("A-1", "Anvil", "129.50", ["heavy", "iron"]), "item")
            case.equal(proxy.Find(code="K-7").Tags, [], "tags of an item without any")
        with report.case(f"SOAP {version}: Find an unknown item gives nil") as case:
            with peer.client.settings(raw_response=True):
                answer = proxy.Find(code="nope")
            body = etree.fromstring(answer.content)[-1]
            result = body[0].find("{urn:kxtest:lookup:messages}FindResult")
            case.true(result is not None and len(result) == 0, "FindResult missing or not empty")
            case.equal(result.get("{http://www.w3.org/2001/XMLSchema-instance}nil"), "true", "xsi:nil")
    with report.case("both versions reach the same service") as case:
        case.equal(service.Count(), 6, "lookups seen over SOAP 1.1")
        case.equal(soap12.Count(), 6, "lookups seen over SOAP 1.2")
    with report.case("SOAP 1.2 envelope at the SOAP 1.1 path answered in SOAP 1.2") as case:
        message = peer.client.create_message(soap12, "Count")
        answer = requests.post(soap11_url, data=etree.tostring(message),
                               headers={"Content-Type": "application/soap+xml; charset=utf-8"},
                               timeout=30)
        case.equal(answer.status_code, 200, "HTTP status")
        case.equal(answer.headers.get("content-type", "").split(";")[0], "application/soap+xml",
                   "content type")
    with report.case("the HTTP GET binding's path is not served") as case:
        answer = requests.get(base + "/lookup/get/Count", timeout=30)
        case.true(answer.status_code in (404, 405), f"HTTP status {answer.status_code}")
