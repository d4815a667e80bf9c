"""Calls every operation of every SOAP port of a WSDL file through zeep, with
values made from the schema alone: once with every required element and
attribute given a value of its type, once with the optional ones too. For WSDL files nobody
here wrote, served by the generated sample server.

    zeep_any.py WSDL BASE_URL

BASE_URL replaces the scheme, host and port of each port's address; the path
stays. One PASS or FAIL line per operation; exits 1 when one failed. An
answer passes when zeep reads it; a fault fails, since the sample
implementation raises none.
"""

import os
import sys
import urllib.parse

import zeep
import zeep.exceptions
from lxml import etree
from zeep.proxy import ServiceProxy
from zeep.wsdl.bindings.soap import SoapBinding
from zeep.xsd import types as xsd_types
from zeep.xsd.elements import indicators

sys.dont_write_bytecode = True  # importing zeep_client leaves no __pycache__ in the source tree
from zeep_client import Report  # noqa: E402

XSD = "http://www.w3.org/2001/XMLSchema"
WSDL = "http://schemas.xmlsoap.org/wsdl/"


def enumerations(wsdl_path):
    """The first enumeration value of each simple type, by {ns}name, read from
    the WSDL file and the local files it imports or includes (zeep keeps no
    facets)."""
    first, seen, pending = {}, set(), [os.path.abspath(wsdl_path)]
    while pending:
        path = pending.pop()
        if path in seen or not os.path.isfile(path):
            continue
        seen.add(path)
        tree = etree.parse(path, etree.XMLParser(resolve_entities=False, no_network=True))
        for node in tree.iter(f"{{{XSD}}}import", f"{{{XSD}}}include", f"{{{WSDL}}}import"):
            location = node.get("schemaLocation") or node.get("location") or ""
            if location and "://" not in location:
                pending.append(os.path.join(os.path.dirname(path), location))
        for schema in tree.iter(f"{{{XSD}}}schema"):
            target = schema.get("targetNamespace", "")
            for simple in schema.findall(f"{{{XSD}}}simpleType"):
                value = simple.find(f"{{{XSD}}}restriction/{{{XSD}}}enumeration")
                if value is not None:
                    first[f"{{{target}}}{simple.get('name')}"] = value.get("value")
    return first


# A lexical form of each built-in type zeep models, the most derived first.
LEXICAL = [("NegativeInteger", "-1"), ("NonPositiveInteger", "0"), ("Boolean", "true"),
           ("Decimal", "1"), ("Float", "1"), ("Double", "1"), ("DateTime", "2024-01-02T03:04:05"),
           ("Date", "2024-01-02"), ("Time", "03:04:05"), ("Duration", "P1D"),
           ("GYearMonth", "2024-01"), ("GYear", "2024"), ("GMonthDay", "--01-02"), ("GDay", "---02"),
           ("GMonth", "--01"), ("Base64Binary", "b3J2bw=="), ("HexBinary", "6F72766F"),
           ("AnyURI", "urn:orvo:sample")]


class LocalCopies(zeep.Transport):
    """Loads the schemas a WSDL file names by URL from the copies beside it
    (a schema whose target namespace is that URL), never from the network."""

    def __init__(self, folder):
        super().__init__(timeout=30, operation_timeout=30)
        self.copies = {}
        for entry in sorted(os.listdir(folder)):
            if entry.endswith(".xsd"):
                path = os.path.join(folder, entry)
                root = etree.parse(path, etree.XMLParser(resolve_entities=False, no_network=True)).getroot()
                self.copies.setdefault(root.get("targetNamespace", "").rstrip("/"), path)

    def load(self, url):
        if "://" in url and not url.startswith("file://"):
            copy = self.copies.get(url.rstrip("/"))
            if copy is None:
                raise OSError(f"{url} is not fetched and has no copy beside the WSDL file")
            url = copy
        return super().load(url)


class Values:
    """Sample values of the schema's types for the parts of a message: the
    required ones, or with full every optional one too (one occurrence, a few
    levels deep, so that recursive types end)."""

    def __init__(self, first_enumerations, full=False):
        self.first = first_enumerations
        self.full = full

    def simple(self, xsd_type):
        qname = getattr(xsd_type, "qname", None)
        if qname is not None and qname.text in self.first:
            return xsd_type.pythonvalue(self.first[qname.text])
        names = {cls.__name__ for cls in type(xsd_type).__mro__}
        if "QName" in names:
            return etree.QName(XSD, "string")
        for name, lexical in LEXICAL:
            if name in names:
                return xsd_type.pythonvalue(lexical)
        return "x"

    def element(self, element, depth=0):
        """The value zeep takes for one occurrence of the element."""
        xsd_type = element.type
        if isinstance(xsd_type, xsd_types.ComplexType):
            return xsd_type(**self.fields(xsd_type, depth + 1))
        if isinstance(xsd_type, xsd_types.AnyType) and not isinstance(xsd_type, xsd_types.AnySimpleType):
            return "x"
        return self.simple(xsd_type)

    def particle(self, particle, depth, into):
        """Fills into with the content of one particle of a type: an element,
        or a sequence, all, choice (its first alternative) or group of them."""
        occurs = getattr(particle, "min_occurs", 1) or 0
        if self.full and depth <= 6:
            occurs = max(occurs, 1)
        if occurs == 0 or depth > 20:
            return
        if isinstance(particle, indicators.Choice):
            if len(particle):
                self.particle(particle[0], depth, into)
        elif isinstance(particle, indicators.Group):
            self.particle(particle.child, depth, into)
        elif isinstance(particle, indicators.OrderIndicator):
            for child in particle:
                self.particle(child, depth, into)
        elif hasattr(particle, "type") and getattr(particle, "attr_name", None):
            one = self.element(particle, depth)
            into[particle.attr_name] = [one] * occurs if particle.max_occurs != 1 else one

    def fields(self, xsd_type, depth=0):
        into = {}
        content = getattr(xsd_type, "_element", None)
        if content is not None:
            self.particle(content, depth, into)
        for name, attribute in getattr(xsd_type, "attributes", []):
            if getattr(attribute, "required", False) or self.full:
                into[name] = self.simple(attribute.type)
        return into

    def arguments(self, operation):
        """Positional and keyword arguments for the operation's input."""
        body = operation.input.body
        if body is None:
            return [], {}
        if isinstance(body.type, xsd_types.ComplexType):
            return [], self.fields(body.type)
        return [self.element(body)], {}


def answered(client, proxy, name, args, kwargs):
    """Whether the service answers the call with HTTP 200 and a Body holding
    an element that is no fault: for answers zeep 4.2 fails to read (a bare
    body element of a simple type)."""
    with client.settings(raw_response=True):
        response = getattr(proxy, name)(*args, **kwargs)
    if response.status_code != 200:
        return False
    body = [child for child in etree.fromstring(response.content) if etree.QName(child).localname == "Body"]
    return bool(body) and len(body[0]) > 0 and etree.QName(body[0][0]).localname != "Fault"


def main():
    wsdl_path, base = sys.argv[1], sys.argv[2].rstrip("/")
    client = zeep.Client(wsdl_path, transport=LocalCopies(os.path.dirname(os.path.abspath(wsdl_path))))
    first = enumerations(wsdl_path)
    requests = [("", Values(first)), (" with every optional part", Values(first, full=True))]
    report = Report()
    for service in client.wsdl.services.values():
        for port in service.ports.values():
            if not isinstance(port.binding, SoapBinding):
                continue
            path = urllib.parse.urlsplit(port.binding_options.get("address", "")).path
            proxy = ServiceProxy(client, port.binding, address=base + path)
            for name, operation in port.binding._operations.items():
                for label, values in requests:
                    with report.case(f"{service.name}/{port.name}: {name}{label}"):
                        args, kwargs = values.arguments(operation)
                        try:
                            getattr(proxy, name)(*args, **kwargs)
                        except zeep.exceptions.Fault:
                            raise
                        except Exception:  # passes if zeep alone could not read the answer
                            if not answered(client, proxy, name, args, kwargs):
                                raise
    if report.passed + report.failed == 0:
        print("the WSDL file has no SOAP port with operations", flush=True)
    return 1 if report.failed else 0


if __name__ == "__main__":
    sys.exit(main())
