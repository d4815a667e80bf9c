"""A strict SOAP server for tests: validates each request's soap:Body
content against the schemas of a WSDL file and logs what it found.

    validating_server.py [--port N] [--log FILE] WSDL
    validating_server.py --operations WSDL   (the operations it serves, one a line)

The schemas are those of the WSDL's types and of the WSDL files it imports
(local locations), each with the namespace declarations in scope where it
stands, following xsd:import and xsd:include
with a local schemaLocation (an import without one names another inline
schema). An rpc operation's wrapper is checked as an element of its parts.
Prints "validating: serving WSDL at http://127.0.0.1:PORT/PATH" once it
listens (PATH: the soap:address's). Per request it answers a SOAP fault
(Client, or Sender for SOAP 1.2) when the content is not valid, else an
empty response element (HTTP 202 for a one-way operation), and writes one
line to the log: "VALID op" or "INVALID op: reason". SIGTERM stops it.
"""

import argparse
import atexit
import os
import shutil
import signal
import sys
import tempfile
from urllib.parse import urlparse
from wsgiref.simple_server import WSGIRequestHandler, make_server
from xml.sax.saxutils import escape

from lxml import etree

WSDL = "http://schemas.xmlsoap.org/wsdl/"
XSD = "http://www.w3.org/2001/XMLSchema"
SOAP_BINDINGS = ("http://schemas.xmlsoap.org/wsdl/soap/", "http://schemas.xmlsoap.org/wsdl/soap12/")
SOAP11 = "http://schemas.xmlsoap.org/soap/envelope/"
SOAP12 = "http://www.w3.org/2003/05/soap-envelope"
MAX_BODY = 4 * 1024 * 1024


def qname(element, text):
    """The {ns}local name a prefixed name stands for where it is written."""
    prefix, _, local = text.rpartition(":")
    return etree.QName(element.nsmap.get(prefix or None, ""), local).text


def local_file(location, base_dir):
    """A schemaLocation as a local file's path, or None for anything else."""
    if not location or "://" in location:
        return None
    path = os.path.normpath(os.path.join(base_dir, location))
    return path if os.path.isfile(path) else None


class Schemas:
    """The WSDL's schemas made into one lxml XMLSchema, through files in a
    scratch folder: per target namespace a file including its pieces."""

    def __init__(self, definitions, extra_pieces):
        self.scratch = tempfile.mkdtemp(prefix="kx-validating-")
        atexit.register(shutil.rmtree, self.scratch, True)
        pieces = {}  # target namespace -> (schema element, the folder of its file)
        for root, folder in definitions:
            for schema in root.iterfind(f"{{{WSDL}}}types/{{{XSD}}}schema"):
                pieces.setdefault(schema.get("targetNamespace", ""), []).append((schema, folder))
        for ns, text, folder in extra_pieces:
            pieces.setdefault(ns, []).append((etree.fromstring(text), folder))
        self.files = {ns: os.path.join(self.scratch, f"ns{i}.xsd") for i, ns in enumerate(pieces)}
        for ns, elements in pieces.items():
            self._write_namespace(ns, elements)
        driver = etree.Element(f"{{{XSD}}}schema", nsmap={"xsd": XSD})
        for ns, path in self.files.items():
            if ns:
                etree.SubElement(driver, f"{{{XSD}}}import", namespace=ns, schemaLocation=path)
            else:
                etree.SubElement(driver, f"{{{XSD}}}include", schemaLocation=path)
        driver_path = os.path.join(self.scratch, "driver.xsd")
        etree.ElementTree(driver).write(driver_path)
        self.schema = etree.XMLSchema(etree.parse(driver_path))

    def _write_namespace(self, ns, elements):
        wrapper = etree.Element(f"{{{XSD}}}schema", nsmap={"xsd": XSD})
        if ns:
            wrapper.set("targetNamespace", ns)
        base = self.files[ns]
        for i, (element, wsdl_dir) in enumerate(elements):
            # Serialised alone, the element keeps every declaration in scope.
            piece = etree.fromstring(etree.tostring(element))
            # A data set's own schema (ref="xsd:schema") is open content here:
            # the schema for schemas is not at hand.
            for ref in list(piece.iter(f"{{{XSD}}}element")):
                if ref.get("ref") and qname(ref, ref.get("ref")) == f"{{{XSD}}}schema":
                    any_element = etree.Element(f"{{{XSD}}}any", namespace=XSD, processContents="skip")
                    for occurs in ("minOccurs", "maxOccurs"):
                        if ref.get(occurs) is not None:
                            any_element.set(occurs, ref.get(occurs))
                    ref.getparent().replace(ref, any_element)
            for reference in piece.iterfind(f"{{{XSD}}}import"):
                target = local_file(reference.get("schemaLocation"), wsdl_dir)
                if target is None and reference.get("namespace", "") in self.files:
                    target = self.files[reference.get("namespace", "")]
                # Nothing is fetched from elsewhere: other locations are dropped.
                if target is not None:
                    reference.set("schemaLocation", target)
                else:
                    reference.attrib.pop("schemaLocation", None)
            for reference in list(piece.iterfind(f"{{{XSD}}}include")) + list(
                    piece.iterfind(f"{{{XSD}}}redefine")):
                target = local_file(reference.get("schemaLocation"), wsdl_dir)
                if target is not None:
                    reference.set("schemaLocation", target)
                else:
                    piece.remove(reference)
            path = f"{base[:-4]}-{i}.xsd"
            etree.ElementTree(piece).write(path)
            etree.SubElement(wrapper, f"{{{XSD}}}include", schemaLocation=path)
        etree.ElementTree(wrapper).write(base)


class Service:
    """The operations of the WSDL's SOAP bindings, by the element their
    request's Body holds."""

    def __init__(self, wsdl_path):
        definitions = self._definitions(wsdl_path)
        self.messages = {}
        port_types = {}
        for root, _ in definitions:
            target = root.get("targetNamespace", "")
            for message in root.iterfind(f"{{{WSDL}}}message"):
                name = etree.QName(target, message.get("name")).text
                self.messages[name] = [(p.get("name"), p) for p in message.iterfind(f"{{{WSDL}}}part")]
            for port_type in root.iterfind(f"{{{WSDL}}}portType"):
                port_types[etree.QName(target, port_type.get("name")).text] = port_type
        self.operations = {}  # request element -> (operation name, response element or None)
        extra = []
        bound = set()
        for root, folder in definitions:
            for binding in root.iterfind(f"{{{WSDL}}}binding"):
                port_type = port_types.get(qname(binding, binding.get("type", "")))
                if port_type is not None:
                    bound.add(id(port_type))
                    self._read_binding(binding, port_type, extra, folder)
        # A port type no binding names is served as document/literal, as the
        # generators serve it.
        for port_type in port_types.values():
            if id(port_type) not in bound:
                binding = etree.Element(f"{{{WSDL}}}binding")
                for abstract in port_type.iterfind(f"{{{WSDL}}}operation"):
                    etree.SubElement(binding, f"{{{WSDL}}}operation", name=abstract.get("name"))
                self._read_binding(binding, port_type, extra, definitions[0][1])
        self.schemas = Schemas(definitions, extra)
        address = next((found for root, _ in definitions
                        for found in root.iterfind(f".//{{{WSDL}}}port/*[@location]")), None)
        self.path = urlparse(address.get("location")).path if address is not None else "/"

    @staticmethod
    def _definitions(wsdl_path):
        """The definitions of the WSDL file and of those it imports with a
        local location, each once: (root element, its file's folder)."""
        found, seen, pending = [], set(), [os.path.abspath(wsdl_path)]
        while pending:
            path = os.path.realpath(pending.pop(0))
            if path in seen:
                continue
            seen.add(path)
            root = etree.parse(path, etree.XMLParser(resolve_entities=False, no_network=True)).getroot()
            folder = os.path.dirname(path)
            if etree.QName(root).localname != "definitions":
                continue
            found.append((root, folder))
            for imported in root.iterfind(f"{{{WSDL}}}import"):
                target = local_file(imported.get("location", "").replace("\\", "/"), folder)
                if target is not None:
                    pending.append(target)
        return found

    def _read_binding(self, binding, port_type, extra, folder):
        style = "document"
        for soap in SOAP_BINDINGS:
            found = binding.find(f"{{{soap}}}binding")
            style = found.get("style", style) if found is not None else style
        for operation in binding.iterfind(f"{{{WSDL}}}operation"):
            name = operation.get("name")
            abstract = port_type.find(f"{{{WSDL}}}operation[@name='{name}']")
            if abstract is None or abstract.find(f"{{{WSDL}}}input") is None:
                continue
            op_style = style
            body_ns = ""
            for soap in SOAP_BINDINGS:
                found = operation.find(f"{{{soap}}}operation")
                op_style = found.get("style", op_style) if found is not None else op_style
                body = operation.find(f"{{{WSDL}}}input/{{{soap}}}body")
                body_ns = body.get("namespace", body_ns) if body is not None else body_ns
            parts = self._body_parts(operation, abstract, "input")
            output = abstract.find(f"{{{WSDL}}}output")
            if op_style == "rpc":
                request = etree.QName(body_ns, name).text
                response = etree.QName(body_ns, name + "Response").text if output is not None else None
                extra.append((body_ns, self._rpc_wrapper(body_ns, name, parts), folder))
            else:
                elements = [qname(p, p.get("element")) for _, p in parts if p.get("element")]
                if not elements:
                    continue
                request = elements[0]
                out_parts = self._body_parts(operation, abstract, "output") if output is not None else []
                out_elements = [qname(p, p.get("element")) for _, p in out_parts if p.get("element")]
                response = out_elements[0] if out_elements else None
            self.operations[request] = (name, response, output is None)

    def _parts(self, abstract, direction):
        use = abstract.find(f"{{{WSDL}}}{direction}")
        return self.messages.get(qname(use, use.get("message", "")), [])

    def _body_parts(self, operation, abstract, direction):
        """The parts of the message that go in the Body: not those the
        binding carries in header blocks."""
        in_headers = set()
        for soap in SOAP_BINDINGS:
            for header in operation.iterfind(f"{{{WSDL}}}{direction}/{{{soap}}}header"):
                in_headers.add((qname(header, header.get("message", "")), header.get("part")))
        use = abstract.find(f"{{{WSDL}}}{direction}")
        message = qname(use, use.get("message", ""))
        return [(name, part) for name, part in self._parts(abstract, direction)
                if (message, name) not in in_headers]

    @staticmethod
    def _rpc_wrapper(ns, name, parts):
        """A schema piece declaring the rpc wrapper: its parts, unqualified,
        each of its type or the element it names."""
        nsmap = {"xsd": XSD}
        items = []
        for part_name, part in parts:
            attribute = "ref" if part.get("element") else "type"
            declared = etree.QName(qname(part, part.get("element") or part.get("type")
                                         or "xsd:anyType"))
            prefix = next((p for p, uri in nsmap.items() if uri == declared.namespace), None)
            if prefix is None:
                prefix = f"p{len(nsmap)}"
                nsmap[prefix] = declared.namespace
            items.append((part_name, attribute, f"{prefix}:{declared.localname}"))
        root = etree.Element(f"{{{XSD}}}schema", nsmap=nsmap)
        if ns:
            root.set("targetNamespace", ns)
        for uri in sorted(set(nsmap.values()) - {XSD, ns}):
            # Located by _write_namespace: another namespace of the WSDL's schemas.
            etree.SubElement(root, f"{{{XSD}}}import", namespace=uri)
        wrapper = etree.SubElement(root, f"{{{XSD}}}element", name=name)
        sequence = etree.SubElement(etree.SubElement(wrapper, f"{{{XSD}}}complexType"),
                                    f"{{{XSD}}}sequence")
        for part_name, attribute, value in items:
            item = etree.SubElement(sequence, f"{{{XSD}}}element")
            if attribute == "type":
                item.set("name", part_name)
            item.set(attribute, value)
        return etree.tostring(root)

    def check(self, envelope_bytes):
        """(SOAP envelope namespace, operation name or None, reason or None, response QName, one way)."""
        try:
            envelope = etree.fromstring(envelope_bytes, etree.XMLParser(resolve_entities=False,
                                                                         no_network=True))
        except etree.XMLSyntaxError as error:
            return SOAP11, None, f"not well-formed: {error}", None, False
        version = etree.QName(envelope).namespace
        body = envelope.find(f"{{{version}}}Body")
        if version not in (SOAP11, SOAP12) or body is None or len(body) == 0:
            return SOAP11, None, "no SOAP envelope with a Body holding an element", None, False
        content = body[0]
        found = self.operations.get(content.tag)
        if found is None:
            return version, None, f"no operation takes the element {content.tag}", None, False
        name, response, one_way = found
        document = etree.fromstring(etree.tostring(content))
        for extra in body[1:]:
            if isinstance(extra.tag, str):
                return version, name, f"a second element {extra.tag} in the Body", response, one_way
        if not self.schemas.schema.validate(document):
            errors = "; ".join(f"line {e.line}: {e.message}" for e in self.schemas.schema.error_log)
            return version, name, errors[:2000], response, one_way
        return version, name, None, response, one_way


def fault_envelope(version, reason):
    code = "soap:Sender" if version == SOAP12 else "soap:Client"
    reason = escape(reason)
    if version == SOAP12:
        inner = (f"<soap:Code><soap:Value>{code}</soap:Value></soap:Code>"
                 f"<soap:Reason><soap:Text xml:lang=\"en\">{reason}</soap:Text></soap:Reason>")
    else:
        inner = f"<faultcode>{code}</faultcode><faultstring>{reason}</faultstring>"
    return (f'<soap:Envelope xmlns:soap="{version}"><soap:Body><soap:Fault>{inner}'
            f"</soap:Fault></soap:Body></soap:Envelope>").encode()


def response_envelope(version, response):
    element = etree.QName(response)
    content = f'<r:{element.localname} xmlns:r="{escape(element.namespace or "")}"/>' \
        if element.namespace else f"<{element.localname}/>"
    return (f'<soap:Envelope xmlns:soap="{version}"><soap:Body>{content}'
            f"</soap:Body></soap:Envelope>").encode()


def application(service, log):
    def serve(environ, start_response):
        length = int(environ.get("CONTENT_LENGTH") or 0)
        if environ["REQUEST_METHOD"] != "POST" or length > MAX_BODY:
            start_response("405 Method Not Allowed", [("Content-Type", "text/plain")])
            return [b"POST a SOAP request\n"]
        version, name, reason, response, one_way = service.check(environ["wsgi.input"].read(length))
        shown = name or "?"
        log.write(f"INVALID {shown}: {' '.join(reason.split())}\n" if reason else f"VALID {shown}\n")
        log.flush()
        content_type = "application/soap+xml" if version == SOAP12 else "text/xml"
        if reason:
            start_response("500 Internal Server Error", [("Content-Type", content_type)])
            return [fault_envelope(version, reason)]
        if one_way or response is None:
            start_response("202 Accepted", [("Content-Length", "0")])
            return [b""]
        start_response("200 OK", [("Content-Type", content_type + "; charset=utf-8")])
        return [response_envelope(version, response)]
    return serve


class QuietHandler(WSGIRequestHandler):
    def log_message(self, *args):
        pass


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--log", help="the file of VALID/INVALID lines (default: standard error)")
    parser.add_argument("--operations", action="store_true",
                        help="print the operations served, one a line, and stop")
    parser.add_argument("wsdl")
    arguments = parser.parse_args()
    service = Service(arguments.wsdl)
    if arguments.operations:
        print("\n".join(sorted({name for name, _, _ in service.operations.values()})))
        return
    log = open(arguments.log, "a", encoding="utf-8") if arguments.log else sys.stderr
    server = make_server("127.0.0.1", arguments.port, application(service, log),
                         handler_class=QuietHandler)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    print(f"validating: serving {os.path.basename(arguments.wsdl)} at "
          f"http://127.0.0.1:{server.server_port}{service.path}", flush=True)
    try:
        server.serve_forever()
    except (KeyboardInterrupt, SystemExit):
        pass


if __name__ == "__main__":
    main()
