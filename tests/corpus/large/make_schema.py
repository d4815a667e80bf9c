#!/usr/bin/python3
"""Writes a large schema and an instance document of it.

    make_schema.py OUTDIR [--types N] [--no-instance]

OUTDIR/large.xsd gets N complex types (default 300) that refer to each
other, twenty enumerations, attributes with and without defaults and a few
global elements; OUTDIR/large.xml an instance of about 3000 elements that
reaches every type. A fixed seed makes the same files each time.
"""

import argparse
import os
import random
from xml.sax.saxutils import escape, quoteattr

NS = "urn:example:large"
ENUMS = 20


def enum_values(k):
    # Values that need care as identifiers: digits first, dashes, case only.
    extra = ["%d-first" % k, "with space %d" % k, "Case%d" % k, "case%d" % k]
    return ["v%d" % j for j in range(3 + k % 9)] + extra[: 1 + k % 4]


def write_schema(path, n, rnd):
    """Type i refers to its two children in a binary tree over all types (so
    every type is reachable from the first) and to one at random further on.
    Returns each type's (element name, type, repeated) references."""
    refs = {}
    w = ['<?xml version="1.0" encoding="UTF-8"?>',
         '<xs:schema xmlns:xs="http://www.w3.org/2001/XMLSchema"',
         '           xmlns:lg="%s" targetNamespace="%s"' % (NS, NS),
         '           elementFormDefault="qualified">',
         '  <xs:element name="root" type="lg:Type0000"/>']
    w += ['  <xs:element name="entry%d" type="lg:Type%04d"/>' % (i, i) for i in range(50, n, 50)]
    for k in range(ENUMS):
        w += ['  <xs:simpleType name="Enum%02d">' % k, '    <xs:restriction base="xs:string">']
        w += ['      <xs:enumeration value=%s/>' % quoteattr(v) for v in enum_values(k)]
        w += ["    </xs:restriction>", "  </xs:simpleType>"]
    for i in range(n):
        kids = [c for c in (2 * i + 1, 2 * i + 2) if c < n]
        if i + 3 < n:
            kids.append(rnd.randrange(i + 3, n))
        refs[i] = [("child%d" % c, c, pos == 2 or c % 3 == 0) for pos, c in enumerate(kids)]
        w += ['  <xs:complexType name="Type%04d">' % i, "    <xs:sequence>",
              '      <xs:element name="id" type="xs:int"/>',
              '      <xs:element name="label" type="xs:string" minOccurs="0"/>',
              '      <xs:element name="kind" type="lg:Enum%02d" minOccurs="0" maxOccurs="2"/>'
              % (i % ENUMS)]
        w += ['      <xs:element name="%s" type="lg:Type%04d" minOccurs="0"%s/>'
              % (name, c, ' maxOccurs="unbounded"' if many else "") for name, c, many in refs[i]]
        w += ['      <xs:element name="amount" type="xs:decimal" minOccurs="0"/>', "    </xs:sequence>",
              '    <xs:attribute name="code" type="xs:token" use="required"/>',
              '    <xs:attribute name="weight" type="xs:double"/>',
              '    <xs:attribute name="flag" type="xs:boolean" default="false"/>',
              '    <xs:attribute name="level" type="xs:unsignedShort"/>', "  </xs:complexType>"]
    w.append("</xs:schema>")
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(w) + "\n")
    return refs


def write_instance(path, refs, budget, rnd):
    """Depth first from the root type, visiting every type at least once,
    then adding optional parts and repeats while the budget lasts."""
    out = ['<?xml version="1.0" encoding="UTF-8"?>']
    count = [0]

    def element(tag, i, depth, xmlns=""):
        count[0] += 1
        n = count[0]
        attrs = ' code="c%d-%d"' % (i, n)
        if n % 3 == 0:
            attrs += ' weight="%s"' % rnd.choice(["1.5", "-0.25", "1E-5", "INF", "0"])
        if n % 4 == 0:
            attrs += ' flag="%s"' % rnd.choice(["true", "false", "1", "0"])
        if n % 5 == 0:
            attrs += ' level="%d"' % depth
        pad = "  " * depth
        out.append("%s<%s%s%s>" % (pad, tag, xmlns, attrs))
        out.append("%s  <id>%d</id>" % (pad, rnd.randint(-2**31, 2**31 - 1)))
        if n % 2:
            out.append("%s  <label>%s</label>" % (pad, escape("type %d <%d> & \"ü\" '%d'" % (i, n, depth))))
        for _ in range(n % 3):
            out.append("%s  <kind>%s</kind>" % (pad, escape(rnd.choice(enum_values(i % ENUMS)))))
        for name, c, many in refs[i]:
            # The tree's edges always (so every type appears); the random
            # edge only while the budget lasts.
            times = 1 if c in (2 * i + 1, 2 * i + 2) else 0
            if count[0] < budget and rnd.random() < 0.3:
                times = rnd.randint(1, 3) if many else 1
            for _ in range(times):
                element(name, c, depth + 1)
        if count[0] % 7 == 0:
            out.append("%s  <amount>%d.%03d</amount>" % (pad, rnd.randint(0, 10**6), rnd.randint(0, 999)))
        out.append("%s</%s>" % (pad, tag))

    element("root", 0, 0, ' xmlns="%s"' % NS)
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(out) + "\n")
    return count[0]


if __name__ == "__main__":
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("outdir")
    ap.add_argument("--types", type=int, default=300)
    ap.add_argument("--no-instance", action="store_true")  # the schema alone, for the benchmark
    args = ap.parse_args()
    os.makedirs(args.outdir, exist_ok=True)
    rnd = random.Random(20241)
    refs = write_schema(os.path.join(args.outdir, "large.xsd"), max(args.types, 1), rnd)
    report = "large.xsd: %d complex types" % args.types
    if not args.no_instance:
        total = write_instance(os.path.join(args.outdir, "large.xml"), refs, 3000, rnd)
        report += "; large.xml: %d elements of the types" % total
    print(report)
