#!/usr/bin/python3
"""Writes a schema of about 4 MB for the attribute bound of the XML readers.

    make_attributes.py KIND OUT.xsd [BYTES]

KIND: plain (ordinary annotations, the reference), many (tags of 1,000
attributes each, the most a reader takes) or one (one tag of 200,000
attributes, which the readers refuse). BYTES (default 4000000) is the size
that plain and many fill; one is always a single tag of 200,000 attributes.
"""

import sys


def main(kind, out, target=4000000):
    parts = ['<?xml version="1.0"?>\n<xs:schema xmlns:xs="http://www.w3.org/2001/XMLSchema"'
             ' targetNamespace="urn:t">\n']
    size = len(parts[0])
    if kind == "one":
        parts.append("<xs:annotation " + " ".join('a%d="v"' % i for i in range(200000)) + "/>\n")
    else:
        if kind == "many":
            tag = "<xs:annotation " + " ".join('a%d="v"' % i for i in range(1000)) + "/>\n"
        else:
            tag = ('<xs:annotation a="v"><xs:documentation>text here</xs:documentation>'
                   "</xs:annotation>\n")
        while size < target:
            parts.append(tag)
            size += len(tag)
    parts.append('<xs:complexType name="T"><xs:sequence><xs:element name="a" type="xs:int"/>'
                 "</xs:sequence></xs:complexType></xs:schema>\n")
    with open(out, "w") as f:
        f.write("".join(parts))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2], *(int(v) for v in sys.argv[3:4]))
