#!/usr/bin/python3
"""Compares two XML documents the way a data binding may change them.

    compare_xml.py EXPECTED.xml ACTUAL.xml   exit 0 when equal, 1 when not, 2 when unreadable
    compare_xml.py --leaves EXPECTED ACTUAL  the same for the leaves only (below)
    compare_xml.py --self-test               checks the comparison itself

Names count as {namespace}local, with the order and number of children and
the attributes; texts count as values (stripped; booleans true/1, false/0;
lists word by word; numbers equal as decimals, else as the same double when
both have at most 17 significant digits, or float when at most 9, so that a
decimal kept in a double shows). Comments, PIs, CDATA and white space
between elements do not. Prints the paths of the first differences.

With --leaves, only what a reader of the document gets counts: every
attribute value (xsi: attributes aside) and every text that is not white
space, by its path of names, must still be in the output as often as in
the input, in any order (an xsd:all's children may come back in the
schema's order).
"""

import decimal
import math
import re
import struct
import sys
import xml.etree.ElementTree as ET

MAX_REPORTED = 10
_NUMBER = re.compile(r"^[+-]?(\d+(\.\d*)?|\.\d+)([eE][+-]?\d+)?$")
_SPECIAL = {"INF": math.inf, "+INF": math.inf, "-INF": -math.inf, "NaN": math.nan}
_BOOLEANS = ({"true", "1"}, {"false", "0"})


def _as_number(text):
    """(exact decimal or None, double, significant digits) or None."""
    if text in _SPECIAL:
        return None, _SPECIAL[text], 1
    if not _NUMBER.match(text) or math.isinf(float(text)):
        return None  # beyond a double: only an exact match will do
    digits = re.split(r"[eE]", text.lstrip("+-"))[0].replace(".", "").strip("0")
    return decimal.Decimal(text), float(text), len(digits) or 1


def _numbers_equal(a, b):
    na, nb = _as_number(a), _as_number(b)
    if na is None or nb is None:
        return False
    (da, fa, sa), (db, fb, sb) = na, nb
    if math.isnan(fa) or math.isnan(fb):
        return math.isnan(fa) and math.isnan(fb)
    if da is None or db is None or da == db:  # INF against INF, or against a number
        return fa == fb
    if sa <= 17 and sb <= 17 and fa == fb:
        return True
    try:  # as floats; a double beyond a float's range is no float
        ga, gb = (struct.unpack("f", struct.pack("f", x))[0] for x in (fa, fb))
    except OverflowError:
        return False
    return sa <= 9 and sb <= 9 and ga == gb and not math.isinf(ga)


def _word_equal(a, b):
    return a == b or any(a in s and b in s for s in _BOOLEANS) or _numbers_equal(a, b)


def values_equal(a, b):
    """Whether two texts hold the same value (see the module's text)."""
    a, b = a.strip(), b.strip()
    wa, wb = a.split(), b.split()
    return _word_equal(a, b) or (len(wa) > 1 and len(wa) == len(wb)
                                 and all(map(_word_equal, wa, wb)))


def _type_name(value):
    """The local name of an xsi:type value: its prefix may differ between the
    documents (the namespace it stands for is xmllint's to check)."""
    return value if value is None else value.split(":")[-1]


def _compare(exp, act, path, diffs):
    for name in sorted(set(exp.attrib) | set(act.attrib)):
        e, a = exp.attrib.get(name), act.attrib.get(name)
        if name == XSI + "type":
            e, a = _type_name(e), _type_name(a)
        if e is None or a is None or not values_equal(e, a):
            diffs.append(("%s/@%s" % (path, name), "(absent)" if e is None else repr(e),
                          "(missing)" if a is None else repr(a)))

    # The own text: the text and the tails of the children. Beside children,
    # only text that is not white space counts.
    texts = ["".join([el.text or ""] + [k.tail or "" for k in el]) for el in (exp, act)]
    if (" ".join(texts[0].split()) != " ".join(texts[1].split()) if len(exp) or len(act)
            else not values_equal(*texts)):
        diffs.append((path + "/text()", repr(texts[0].strip()), repr(texts[1].strip())))

    seen = {}
    for i in range(max(len(exp), len(act))):
        e, a = exp[i] if i < len(exp) else None, act[i] if i < len(act) else None
        tag = (e if e is not None else a).tag
        seen[tag] = seen.get(tag, 0) + 1
        many = max(sum(k.tag == tag for k in exp), sum(k.tag == tag for k in act)) > 1
        where = "%s/%s" % (path, "%s[%d]" % (tag, seen[tag]) if many else tag)
        if e is None or a is None or e.tag != a.tag:
            # The rest would only repeat the shift.
            diffs.append((where, "(absent)" if e is None else "element " + e.tag,
                          "(missing)" if a is None else "element " + a.tag))
            return
        if len(diffs) < MAX_REPORTED:
            _compare(e, a, where, diffs)


def compare_trees(expected, actual):
    """The differences as (path, expected, actual), at most MAX_REPORTED."""
    if expected.tag != actual.tag:
        return [("/" + expected.tag, "element " + expected.tag, "element " + actual.tag)]
    diffs = []
    _compare(expected, actual, "/" + expected.tag, diffs)
    return diffs[:MAX_REPORTED]


def compare_texts(expected, actual):
    return compare_trees(ET.fromstring(expected), ET.fromstring(actual))


XSI = "{http://www.w3.org/2001/XMLSchema-instance}"


def _leaves(root):
    """{path: [value, ...]} for the attributes and texts under root."""
    found = {}

    def visit(el, path):
        path = "%s/%s" % (path, el.tag)
        for name, value in el.attrib.items():
            if not name.startswith(XSI):
                found.setdefault("%s/@%s" % (path, name), []).append(value)
        for text in [el.text] + [k.tail for k in el]:
            if text and text.strip():
                found.setdefault(path + "/text()", []).append(" ".join(text.split()))
        for child in el:
            if isinstance(child.tag, str):
                visit(child, path)

    visit(root, "")
    return found


def compare_leaves(expected, actual):
    """The leaves of expected missing from actual, as (path, expected, actual)."""
    diffs = []
    have = _leaves(actual)
    for path, values in _leaves(expected).items():
        left = list(have.get(path, []))
        for value in values:
            match = next((i for i, v in enumerate(left) if values_equal(value, v)), None)
            if match is None:
                diffs.append((path, repr(value), "(missing)" if not left else
                              "only " + ", ".join(repr(v) for v in left[:3])))
                break
            del left[match]
    return diffs[:MAX_REPORTED]


def _self_test():
    same = [
        ('<p:a xmlns:p="urn:po" x="1"><p:b>t</p:b></p:a>', '<a xmlns="urn:po" x="1"><b>t</b></a>'),
        ('<a y="2" x="1"><!-- c --><b><![CDATA[<&>]]></b>\n  <?pi x?><c/></a>',
         '<a x="1" y="2"><b>&lt;&amp;&gt;</b><c></c></a>'),
        ("<a><b>1.50</b><b>007</b><b>-0</b><b>1E3</b><b>0.1</b><b>3.4028235E38</b></a>",
         "<a><b>1.5</b><b>7</b><b>0</b><b>1000</b><b>0.10000000000000001</b><b>3.40282347e+38</b></a>"),
        ('<a xmlns:i="%s" xmlns:p="urn:t" i:type="p:T"/>' % XSI[1:-1],
         '<a xmlns:i="%s" xmlns:q="urn:t" i:type="q:T"/>' % XSI[1:-1]),
        ('<a f="1"><b>INF</b><b>NaN</b><b>-INF</b><c> 1  2 </c><d> x </d></a>',
         '<a f="true"><b>INF</b><b>NaN</b><b>-INF</b><c>1 2</c><d>x</d></a>'),
    ]
    different = [  # (expected, actual, path of the first difference)
        ('<a xmlns="urn:po"/>', '<a xmlns="urn:other"/>', "/{urn:po}a"),
        ('<a><b x="1" y="2"/></a>', '<a><b x="1"/></a>', "/a/b/@y"),
        ('<a/>', '<a d="0"/>', "/a/@d"),
        ('<a xmlns:q="urn:q" q:x="1"/>', '<a x="1"/>', "/a/@x"),
        ('<p:o xmlns:p="urn:po"><p:i n="1"/><p:i n="2"/><p:i n="3"/></p:o>',
         '<o xmlns="urn:po"><i n="1"/><i n="9"/><i n="3"/></o>', "/{urn:po}o/{urn:po}i[2]/@n"),
        ('<a xmlns:i="%s" i:type="T"/>' % XSI[1:-1], '<a xmlns:i="%s" i:type="U"/>' % XSI[1:-1],
         "/a/@%stype" % XSI),
        ("<a><b/><c/></a>", "<a><b/></a>", "/a/c"),
        ("<a><b/></a>", "<a><b/><b/></a>", "/a/b[2]"),
        ("<a><b/><c/></a>", "<a><c/><b/></a>", "/a/b"),
        ("<a><b>x</b></a>", "<a><b>y</b></a>", "/a/b/text()"),
        ("<a>1234567890.123456789</a>", "<a>1234567890.1234567</a>", "/a/text()"),
        ("<a>1.7976931348623157E308</a>", "<a>INF</a>", "/a/text()"),
        ("<a>0.1</a>", "<a>0.2</a>", "/a/text()"),
        ("<a>NaN</a>", "<a>INF</a>", "/a/text()"),
        ("<a>true</a>", "<a>0</a>", "/a/text()"),
        ("<a>1 2 3</a>", "<a>1 2</a>", "/a/text()"),
        ("<a>x<b/></a>", "<a><b/></a>", "/a/text()"),
    ]
    leaves_same = [
        ('<a xmlns:xsi="%s" xsi:schemaLocation="u f"><c/><b x="1">t</b></a>' % XSI[1:-1],
         '<a><b x="1">t</b><c/></a>'),
        ("<a>one <b>two</b> three</a>", "<a>three <b>two</b>one</a>"),
    ]
    leaves_different = [  # (expected, actual, path of the difference)
        ("<a><b>t</b><b>t</b></a>", "<a><b>t</b></a>", "/a/b/text()"),
        ("<a><b><c>1</c></b></a>", "<a><c>1</c></a>", "/a/b/c/text()"),
        ("<a>one <b/></a>", "<a><b/></a>", "/a/text()"),
        ('<a><b x="1"/></a>', '<a><b x="2"/></a>', "/a/b/@x"),
    ]
    def leaves(a, b):
        return compare_leaves(ET.fromstring(a), ET.fromstring(b))

    # (compare, expected, actual, path of the first difference or None, both ways)
    cases = ([(compare_texts, a, b, None, True) for a, b in same]
             + [(compare_texts, a, b, where, True) for a, b, where in different]
             + [(leaves, a, b, None, False) for a, b in leaves_same]
             + [(leaves, a, b, where, False) for a, b, where in leaves_different])
    failures = 0
    for compare, a, b, where, both_ways in cases:
        diffs = compare(a, b)
        if where is None:
            wrong = diffs or (both_ways and compare(b, a))
        else:
            wrong = not diffs or diffs[0][0] != where or (both_ways and not compare(b, a))
        if wrong:
            failures += 1
            print("self-test FAILED (%s): %s: %s" % ("should be equal" if where is None else
                                                     "first difference at " + where, a, diffs[:1]))
    print("compare_xml self-test: %d of %d cases right" % (len(cases) - failures, len(cases)))
    return 1 if failures else 0


def main(argv):
    if argv[1:] == ["--self-test"]:
        return _self_test()
    compare = compare_trees
    if argv[1:2] == ["--leaves"]:
        compare = compare_leaves
        argv = argv[1:]
    if len(argv) != 3:
        sys.stderr.write("usage: compare_xml.py [--leaves] EXPECTED.xml ACTUAL.xml | --self-test\n")
        return 2
    trees = []
    for path in argv[1:]:
        try:
            trees.append(ET.parse(path).getroot())
        except (OSError, ET.ParseError) as e:
            print("%s: cannot read: %s" % (path, e))
            return 2
    diffs = compare(*trees)
    for where, exp, act in diffs:
        print("%s: expected %s, got %s" % (where, exp, act))
    return 1 if diffs else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
