#!/usr/bin/env python3
"""Writes a schema in the shape of a cross-industry invoice: FILES schema
files in all, of which most are code lists (one enumeration each, together
ENUMS values) imported by every module, a module of unqualified data types
(simple content with attributes), one of qualified data types (a type per
code list), several modules of reusable aggregates (TYPES complex types in
all, sequences of elements of the data types and of other aggregates) and a
main module with the root element.

    make_code_lists.py OUT_DIR [FILES [ENUMS [TYPES]]]

Writes OUT_DIR/invoice.xsd (the schema to generate from) and prints the
number of files, enumeration values and complex types written."""
import os
import sys

XS = "http://www.w3.org/2001/XMLSchema"
BASE = "urn:bench:invoice"


def header(target, imports):
    lines = ['<?xml version="1.0" encoding="UTF-8"?>',
             f'<xs:schema xmlns:xs="{XS}" targetNamespace="{target}"']
    for prefix, ns, _ in imports:
        lines.append(f'    xmlns:{prefix}="{ns}"')
    lines.append(f'    xmlns:self="{target}" elementFormDefault="qualified">')
    for _, ns, location in imports:
        lines.append(f'  <xs:import namespace="{ns}" schemaLocation="{location}"/>')
    return lines


def write(out, name, lines):
    with open(os.path.join(out, name), "w", encoding="utf-8") as f:
        f.write("\n".join(lines + ["</xs:schema>", ""]))


def main():
    out = sys.argv[1]
    files = int(sys.argv[2]) if len(sys.argv) > 2 else 50
    enums = int(sys.argv[3]) if len(sys.argv) > 3 else 6000
    types = int(sys.argv[4]) if len(sys.argv) > 4 else 2000
    os.makedirs(out, exist_ok=True)
    modules = 3  # reusable aggregates
    lists = max(1, files - modules - 3)  # udt, qdt, main
    code_imports = [(f"cl{i}", f"{BASE}:codes:{i}", f"codes_{i}.xsd") for i in range(lists)]

    # Code lists: values spread evenly, as three-letter codes.
    per_list = [enums // lists + (1 if i < enums % lists else 0) for i in range(lists)]
    for i, count in enumerate(per_list):
        lines = header(f"{BASE}:codes:{i}", [])
        lines.append(f'  <xs:simpleType name="CodeList{i}ContentType">')
        lines.append('    <xs:restriction base="xs:token">')
        for v in range(count):
            code = "".join(chr(ord("A") + (v // 26 ** k) % 26) for k in (2, 1, 0))
            lines.append(f'      <xs:enumeration value="{code}{i}"/>')
        lines += ["    </xs:restriction>", "  </xs:simpleType>"]
        write(out, f"codes_{i}.xsd", lines)

    # Unqualified data types: simple content with attributes.
    udt_ns = f"{BASE}:udt"
    udt_names = ["Amount", "BinaryObject", "Code", "DateTime", "Date", "ID", "Indicator",
                 "Measure", "Numeric", "Percent", "Quantity", "Rate", "Text", "Name"]
    bases = {"Amount": "xs:decimal", "Measure": "xs:decimal", "Numeric": "xs:decimal",
             "Percent": "xs:decimal", "Quantity": "xs:decimal", "Rate": "xs:decimal",
             "Indicator": "xs:boolean", "DateTime": "xs:dateTime", "Date": "xs:date",
             "BinaryObject": "xs:base64Binary"}
    lines = header(udt_ns, code_imports)
    for name in udt_names:
        lines += [f'  <xs:complexType name="{name}Type">', "    <xs:simpleContent>",
                  f'      <xs:extension base="{bases.get(name, "xs:string")}">',
                  '        <xs:attribute name="schemeID" type="xs:token"/>',
                  '        <xs:attribute name="listAgencyID" type="xs:token"/>',
                  "      </xs:extension>", "    </xs:simpleContent>", "  </xs:complexType>"]
    write(out, "udt.xsd", lines)

    # Qualified data types: a code type per code list.
    qdt_ns = f"{BASE}:qdt"
    lines = header(qdt_ns, code_imports + [("udt", udt_ns, "udt.xsd")])
    for i in range(lists):
        lines += [f'  <xs:complexType name="Code{i}Type">', "    <xs:simpleContent>",
                  f'      <xs:extension base="cl{i}:CodeList{i}ContentType">',
                  '        <xs:attribute name="listVersionID" type="xs:token"/>',
                  "      </xs:extension>", "    </xs:simpleContent>", "  </xs:complexType>"]
    write(out, "qdt.xsd", lines)

    # Reusable aggregates: each type a sequence of data-type fields and of
    # earlier aggregates of the same module.
    ram_types = types - len(udt_names) - lists - 1
    if ram_types < modules:
        sys.exit(f"make_code_lists.py: {types} complex types are too few for {lists} code lists: "
                 f"at least {len(udt_names) + lists + 1 + modules}")
    per_module = [ram_types // modules + (1 if m < ram_types % modules else 0)
                  for m in range(modules)]
    first = 0
    for m, count in enumerate(per_module):
        ns = f"{BASE}:ram:{m}"
        imports = code_imports + [("udt", udt_ns, "udt.xsd"), ("qdt", qdt_ns, "qdt.xsd")]
        imports += [(f"ram{k}", f"{BASE}:ram:{k}", f"ram_{k}.xsd") for k in range(m)]
        lines = header(ns, imports)
        for t in range(first, first + count):
            lines += [f'  <xs:complexType name="Aggregate{t}Type">', "    <xs:sequence>"]
            for f in range(6):
                kind = (t + f) % 4
                if kind == 0:
                    field = f'udt:{udt_names[(t + f) % len(udt_names)]}Type'
                elif kind == 1:
                    field = f'qdt:Code{(t * 7 + f) % lists}Type'
                elif kind == 2 and t > first:
                    field = f'self:Aggregate{first + (t * 13 + f) % (t - first)}Type'
                else:
                    field = "udt:TextType"
                occurs = ' minOccurs="0" maxOccurs="unbounded"' if f == 5 else ' minOccurs="0"'
                lines.append(f'      <xs:element name="Field{f}" type="{field}"{occurs}/>')
            lines += ["    </xs:sequence>", "  </xs:complexType>"]
        write(out, f"ram_{m}.xsd", lines)
        first += count

    # The main module: the root element over the last aggregate of each module.
    ns = f"{BASE}:main"
    imports = [(f"ram{k}", f"{BASE}:ram:{k}", f"ram_{k}.xsd") for k in range(modules)]
    imports += code_imports
    lines = header(ns, imports)
    lines += ['  <xs:element name="Invoice" type="self:InvoiceType"/>',
              '  <xs:complexType name="InvoiceType">', "    <xs:sequence>"]
    end = 0
    for k, count in enumerate(per_module):
        end += count
        lines.append(f'      <xs:element name="Part{k}" type="ram{k}:Aggregate{end - 1}Type"/>')
    lines += ["    </xs:sequence>", "  </xs:complexType>"]
    write(out, "invoice.xsd", lines)
    print(f"{lists + modules + 3} files, {sum(per_list)} enumeration values, "
          f"{len(udt_names) + lists + ram_types + 1} complex types")


if __name__ == "__main__":
    main()
