#!/usr/bin/python3
"""Writes a large schema and an instance document of it.

    make_schema.py OUTDIR [--types N] [--seed S] [--elements E]

OUTDIR/large.xsd gets N complex types (default 300) that refer to each
other, twenty enumerations, attributes with and without defaults and a few
global elements; OUTDIR/large.xml an instance of about E elements (default
3000) that reaches every type. The same seed gives the same files.
"""

import argparse
import os
import random
import sys
from xml.sax.saxutils import escape, quoteattr

NS = "urn:example:large"
ENUMS = 20


def type_name(i):
    return "Type%04d" % i


def enum_values(k):
    # Values that need care as identifiers: digits first, dashes, case only.
    base = ["v%d" % j for j in range(3 + k % 9)]
    extra = ["%d-first" % k, "with space %d" % k, "Case%d" % k, "case%d" % k]
    return base + extra[: 1 + k % 4]


def children_of(i, n, rnd):
    """The types type i refers to: its two children in a binary tree over all
    types (so that every type is reachable from the first) and one at random
    further on."""
    kids = [c for c in (2 * i + 1, 2 * i + 2) if c < n]
    if i + 3 < n:
        kids.append(rnd.randrange(i + 3, n))
    return kids


def write_schema(path, n, rnd):
    refs = {}
    out = []
    w = out.append
    w('<?xml version="1.0" encoding="UTF-8"?>')
    w('<xs:schema xmlns:xs="http://www.w3.org/2001/XMLSchema"')
    w('           xmlns:lg="%s" targetNamespace="%s"' % (NS, NS))
    w('           elementFormDefault="qualified">')
    w('  <xs:element name="root" type="lg:%s"/>' % type_name(0))
    for i in range(50, n, 50):
        w('  <xs:element name="entry%d" type="lg:%s"/>' % (i, type_name(i)))
    for k in range(ENUMS):
        w('  <xs:simpleType name="Enum%02d">' % k)
        w('    <xs:restriction base="xs:string">')
        for v in enum_values(k):
            w('      <xs:enumeration value=%s/>' % quoteattr(v))
        w("    </xs:restriction>")
        w("  </xs:simpleType>")
    for i in range(n):
        kids = children_of(i, n, rnd)
        refs[i] = []
        w('  <xs:complexType name="%s">' % type_name(i))
        w("    <xs:sequence>")
        w('      <xs:element name="id" type="xs:int"/>')
        w('      <xs:element name="label" type="xs:string" minOccurs="0"/>')
        w('      <xs:element name="kind" type="lg:Enum%02d" minOccurs="0" maxOccurs="2"/>'
          % (i % ENUMS))
        for pos, c in enumerate(kids):
            many = pos == 2 or c % 3 == 0
            name = "child%d" % c
            refs[i].append((name, c, many))
            w('      <xs:element name="%s" type="lg:%s" minOccurs="0"%s/>'
              % (name, type_name(c), ' maxOccurs="unbounded"' if many else ""))
        w('      <xs:element name="amount" type="xs:decimal" minOccurs="0"/>')
        w("    </xs:sequence>")
        w('    <xs:attribute name="code" type="xs:token" use="required"/>')
        w('    <xs:attribute name="weight" type="xs:double"/>')
        w('    <xs:attribute name="flag" type="xs:boolean" default="false"/>')
        w('    <xs:attribute name="level" type="xs:unsignedShort"/>')
        w("  </xs:complexType>")
    w("</xs:schema>")
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(out) + "\n")
    return refs


def write_instance(path, refs, budget, rnd):
    """Depth first from the root type, visiting every type at least once,
    then adding optional parts and repeats while the budget lasts."""
    out = ['<?xml version="1.0" encoding="UTF-8"?>']
    count = [0]

    def element(tag, i, depth, xmlns=""):
        count[0] += 1
        attrs = ' code="c%d-%d"' % (i, count[0])
        if count[0] % 3 == 0:
            attrs += ' weight="%s"' % rnd.choice(["1.5", "-0.25", "1E-5", "INF", "0"])
        if count[0] % 4 == 0:
            attrs += ' flag="%s"' % rnd.choice(["true", "false", "1", "0"])
        if count[0] % 5 == 0:
            attrs += ' level="%d"' % depth
        pad = "  " * depth
        out.append("%s<%s%s%s>" % (pad, tag, xmlns, attrs))
        out.append("%s  <id>%d</id>" % (pad, rnd.randint(-2**31, 2**31 - 1)))
        if count[0] % 2:
            out.append("%s  <label>%s</label>" % (
                pad, escape("type %d <%d> & \"ü\" '%d'" % (i, count[0], depth))))
        for _ in range(count[0] % 3):
            out.append("%s  <kind>%s</kind>" % (pad, escape(rnd.choice(enum_values(i % ENUMS)))))
        for name, c, many in refs[i]:
            # The tree's edges always (so every type appears); the random
            # edge only while the budget lasts.
            is_tree = c in (2 * i + 1, 2 * i + 2)
            times = 1 if is_tree else 0
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


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("outdir")
    ap.add_argument("--types", type=int, default=300)
    ap.add_argument("--seed", type=int, default=20241)
    ap.add_argument("--elements", type=int, default=3000)
    ap.add_argument("--no-instance", action="store_true")
    args = ap.parse_args()
    if args.types < 1:
        ap.error("--types must be at least 1")
    os.makedirs(args.outdir, exist_ok=True)
    rnd = random.Random(args.seed)
    refs = write_schema(os.path.join(args.outdir, "large.xsd"), args.types, rnd)
    if not args.no_instance:
        n = write_instance(os.path.join(args.outdir, "large.xml"), refs, args.elements, rnd)
        print("large.xsd: %d complex types; large.xml: %d elements of the types" % (args.types, n))
    else:
        print("large.xsd: %d complex types" % args.types)
    return 0


if __name__ == "__main__":
    sys.exit(main())
