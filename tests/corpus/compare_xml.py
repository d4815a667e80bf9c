#!/usr/bin/python3
"""Compares two XML documents the way a data binding may change them.

    compare_xml.py EXPECTED.xml ACTUAL.xml   exit 0 when equal, 1 when not,
                                             2 when a file cannot be read
    compare_xml.py --self-test               checks the comparison itself

What counts:
  - element and attribute names as {namespace}local, so prefixes and the
    default namespace may differ;
  - the order and number of child elements;
  - the attributes: none missing, none added (namespace declarations are not
    attributes);
  - the text of elements, compared as values: leading and trailing white
    space is dropped; texts are equal when they are equal as strings, as
    numbers (below) or as booleans (true/1, false/0). Texts with several
    white-space separated words (lists) are compared word by word.
What does not count: comments, processing instructions, CDATA against
escaped text, white-space-only text between elements.

Numbers: equal when equal as exact decimals (1.50 = 1.5, 007 = 7, -0 = 0);
INF, -INF and NaN match themselves (NaN equals NaN). Otherwise two numbers
match when they are the same double and neither is written with more than
17 significant digits, or the same float when neither has more than 9. A
value with more digits than a double keeps (1234567890.123456789) must come
back exactly, so that decimals kept in a double show up.

On a difference it prints the path of the first ones, e.g.
/{urn:po}purchaseOrder/{urn:po}items/{urn:po}item[2]/@partNum, with both
values.
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
_TRUE = {"true", "1"}
_FALSE = {"false", "0"}


def _significant_digits(text):
    mantissa = re.split(r"[eE]", text.lstrip("+-"))[0].replace(".", "")
    return len(mantissa.strip("0")) or 1


def _as_number(text):
    """(exact decimal or None, double, significant digits) or None."""
    if text in _SPECIAL:
        return None, _SPECIAL[text], 1
    if not _NUMBER.match(text):
        return None
    value = float(text)
    if math.isinf(value):
        return None  # beyond a double: only an exact match will do
    return decimal.Decimal(text), value, _significant_digits(text)


def _as_float32(value):
    try:
        return struct.unpack("f", struct.pack("f", value))[0]
    except OverflowError:
        return None


def _numbers_equal(a, b):
    na, nb = _as_number(a), _as_number(b)
    if na is None or nb is None:
        return False
    (da, fa, sa), (db, fb, sb) = na, nb
    if math.isnan(fa) or math.isnan(fb):
        return math.isnan(fa) and math.isnan(fb)
    if da is not None and db is not None and da == db:
        return True
    if da is None or db is None:  # INF against INF, or against a number
        return fa == fb
    if sa <= 17 and sb <= 17 and fa == fb:
        return True
    if sa <= 9 and sb <= 9:
        ga, gb = _as_float32(fa), _as_float32(fb)
        return ga is not None and ga == gb and not math.isinf(ga)
    return False


def _word_equal(a, b):
    if a == b:
        return True
    if (a in _TRUE and b in _TRUE) or (a in _FALSE and b in _FALSE):
        return True
    return _numbers_equal(a, b)


def values_equal(a, b):
    """Whether two texts hold the same value (see the module's text)."""
    a, b = a.strip(), b.strip()
    if _word_equal(a, b):
        return True
    wa, wb = a.split(), b.split()
    if (len(wa) > 1 or len(wb) > 1) and len(wa) == len(wb):
        return all(_word_equal(x, y) for x, y in zip(wa, wb))
    return False


def _own_text(element):
    """The element's own text: its text and the tails of its children."""
    parts = [element.text or ""]
    parts.extend(child.tail or "" for child in element)
    return "".join(parts)


def _step(tag, index, count):
    return "%s[%d]" % (tag, index) if count > 1 else tag


def _compare(exp, act, path, diffs):
    if len(diffs) >= MAX_REPORTED:
        return
    if exp.tag != act.tag:
        diffs.append((path, "element " + exp.tag, "element " + act.tag))
        return

    for name in sorted(set(exp.attrib) | set(act.attrib)):
        where = "%s/@%s" % (path, name)
        if name not in act.attrib:
            diffs.append((where, repr(exp.attrib[name]), "(missing)"))
        elif name not in exp.attrib:
            diffs.append((where, "(absent)", repr(act.attrib[name])))
        elif not values_equal(exp.attrib[name], act.attrib[name]):
            diffs.append((where, repr(exp.attrib[name]), repr(act.attrib[name])))

    exp_kids, act_kids = list(exp), list(act)
    exp_text, act_text = _own_text(exp), _own_text(act)
    if exp_kids or act_kids:
        # Element content: only text that is not white space counts.
        if (exp_text.strip() or act_text.strip()) and \
                " ".join(exp_text.split()) != " ".join(act_text.split()):
            diffs.append((path + "/text()", repr(exp_text.strip()), repr(act_text.strip())))
    elif not values_equal(exp_text, act_text):
        diffs.append((path + "/text()", repr(exp_text.strip()), repr(act_text.strip())))

    totals = {}
    for kid in exp_kids + act_kids:
        totals[kid.tag] = max(sum(1 for k in exp_kids if k.tag == kid.tag),
                              sum(1 for k in act_kids if k.tag == kid.tag))
    seen = {}
    for i in range(max(len(exp_kids), len(act_kids))):
        if i >= len(act_kids):
            kid = exp_kids[i]
            seen[kid.tag] = seen.get(kid.tag, 0) + 1
            diffs.append((path + "/" + _step(kid.tag, seen[kid.tag], totals[kid.tag]),
                          "element " + kid.tag, "(missing)"))
            return
        if i >= len(exp_kids):
            kid = act_kids[i]
            seen[kid.tag] = seen.get(kid.tag, 0) + 1
            diffs.append((path + "/" + _step(kid.tag, seen[kid.tag], totals[kid.tag]),
                          "(absent)", "element " + kid.tag))
            return
        e, a = exp_kids[i], act_kids[i]
        seen[e.tag] = seen.get(e.tag, 0) + 1
        where = path + "/" + _step(e.tag, seen[e.tag], totals[e.tag])
        if e.tag != a.tag:
            diffs.append((where, "element " + e.tag, "element " + a.tag))
            return  # the rest would only repeat the shift
        _compare(e, a, where, diffs)


def compare_trees(expected, actual):
    """The differences as (path, expected, actual), at most MAX_REPORTED."""
    diffs = []
    _compare(expected, actual, "/" + expected.tag, diffs)
    return diffs


def compare_texts(expected, actual):
    return compare_trees(ET.fromstring(expected), ET.fromstring(actual))


def _self_test():
    same = [
        ("prefix against default namespace",
         '<p:a xmlns:p="urn:po" x="1"><p:b>t</p:b></p:a>',
         '<a xmlns="urn:po" x="1"><b>t</b></a>'),
        ("comments, PIs, CDATA, white space, attribute order",
         '<a y="2" x="1"><!-- c --><b><![CDATA[<&>]]></b>\n  <?pi x?><c/></a>',
         '<a x="1" y="2"><b>&lt;&amp;&gt;</b><c></c></a>'),
        ("numbers as values",
         "<a><b>1.50</b><b>007</b><b>-0</b><b>1E3</b><b>0.1</b><b>3.4028235E38</b></a>",
         "<a><b>1.5</b><b>7</b><b>0</b><b>1000</b><b>0.10000000000000001</b><b>3.40282347e+38</b></a>"),
        ("INF, NaN, booleans, lists, surrounding space",
         '<a f="1"><b>INF</b><b>NaN</b><b>-INF</b><c> 1  2 </c><d> x </d></a>',
         '<a f="true"><b>INF</b><b>NaN</b><b>-INF</b><c>1 2</c><d>x</d></a>'),
    ]
    different = [
        ("other namespace", '<a xmlns="urn:po"/>', '<a xmlns="urn:other"/>', "/{urn:po}a"),
        ("attribute dropped", '<a><b x="1" y="2"/></a>', '<a><b x="1"/></a>', "/a/b/@y"),
        ("attribute added", '<a/>', '<a d="0"/>', "/a/@d"),
        ("qualified attribute unqualified", '<a xmlns:q="urn:q" q:x="1"/>', '<a x="1"/>',
         "/a/@x"),
        ("second of three changed",
         '<p:o xmlns:p="urn:po"><p:i n="1"/><p:i n="2"/><p:i n="3"/></p:o>',
         '<o xmlns="urn:po"><i n="1"/><i n="9"/><i n="3"/></o>',
         "/{urn:po}o/{urn:po}i[2]/@n"),
        ("element missing", "<a><b/><c/></a>", "<a><b/></a>", "/a/c"),
        ("element added", "<a><b/></a>", "<a><b/><b/></a>", "/a/b[2]"),
        ("order swapped", "<a><b/><c/></a>", "<a><c/><b/></a>", "/a/b"),
        ("text changed", "<a><b>x</b></a>", "<a><b>y</b></a>", "/a/b/text()"),
        ("decimal kept in a double", "<a>1234567890.123456789</a>",
         "<a>1234567890.1234567</a>", "/a/text()"),
        ("double kept in a float", "<a>1.7976931348623157E308</a>", "<a>INF</a>", "/a/text()"),
        ("0.1 against 0.2", "<a>0.1</a>", "<a>0.2</a>", "/a/text()"),
        ("NaN against INF", "<a>NaN</a>", "<a>INF</a>", "/a/text()"),
        ("true against false", "<a>true</a>", "<a>0</a>", "/a/text()"),
        ("list shortened", "<a>1 2 3</a>", "<a>1 2</a>", "/a/text()"),
        ("text beside children", "<a>x<b/></a>", "<a><b/></a>", "/a/text()"),
    ]
    failures = 0
    for name, a, b in same:
        diffs = compare_texts(a, b) + compare_texts(b, a)
        if diffs:
            failures += 1
            print("self-test FAILED (should be equal): %s: %s" % (name, diffs[0]))
    for name, a, b, where in different:
        diffs = compare_texts(a, b)
        if not diffs or diffs[0][0] != where:
            failures += 1
            print("self-test FAILED (should differ at %s): %s: %s"
                  % (where, name, diffs[0] if diffs else "no difference"))
        if not compare_texts(b, a):
            failures += 1
            print("self-test FAILED (should differ both ways): %s" % name)
    count = len(same) * 2 + len(different) * 2
    print("compare_xml self-test: %d of %d comparisons right" % (count - failures, count))
    return 1 if failures else 0


def main(argv):
    if len(argv) == 2 and argv[1] == "--self-test":
        return _self_test()
    if len(argv) != 3:
        sys.stderr.write("usage: compare_xml.py EXPECTED.xml ACTUAL.xml | --self-test\n")
        return 2
    trees = []
    for path in argv[1:]:
        try:
            trees.append(ET.parse(path).getroot())
        except (OSError, ET.ParseError) as e:
            print("%s: cannot read: %s" % (path, e))
            return 2
    diffs = compare_trees(*trees)
    for where, exp, act in diffs:
        print("%s: expected %s, got %s" % (where, exp, act))
    return 1 if diffs else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
