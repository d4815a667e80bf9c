#!/usr/bin/python3
"""Writes a big purchase order (tests/corpus/purchaseorder's schema): as many
items as make the file about SIZE megabytes.

    make_po.py OUT.xml [SIZE_MB]      (default 50)

The items vary: optional colour, comment and ship date present or not,
text needing escapes, non-ASCII text and CDATA sections.
"""

import random
import sys

HEAD = """<?xml version="1.0" encoding="UTF-8"?>
<po:purchaseOrder xmlns:po="urn:example:purchase-order" orderDate="2024-10-20" status="open">
  <po:shipTo country="DE">
    <po:name>Jürgen Weiß</po:name>
    <po:street>Hauptstraße 12</po:street>
    <po:city>München</po:city>
    <po:postalCode>80331</po:postalCode>
  </po:shipTo>
  <po:billTo>
    <po:name>Smith &amp; Sons</po:name>
    <po:street>8 Oak Avenue</po:street>
    <po:city>Old Town</po:city>
    <po:postalCode>95819</po:postalCode>
  </po:billTo>
  <po:comment>Generated for the benchmark</po:comment>
  <po:items>
"""
TAIL = """  </po:items>
</po:purchaseOrder>
"""
NAMES = ["Lawnmower", "Baby Monitor &amp; Camera", "Teekanne für 4 Tassen",
         "<![CDATA[Widget <large>]]>", "Ручка", "ボールペン", "Plain item"]
COLORS = ["red", "green", "blue", "light-grey"]


def main(argv):
    if len(argv) not in (2, 3):
        sys.stderr.write(__doc__)
        return 2
    target = int(float(argv[2] if len(argv) == 3 else 50) * 1024 * 1024)
    rnd = random.Random(50)
    size = 0
    items = 0
    with open(argv[1], "w", encoding="utf-8") as f:
        f.write(HEAD)
        size += len(HEAD.encode("utf-8"))
        while size < target:
            parts = ['    <po:item partNum="%03d-%s%s">\n' % (
                         items % 1000, chr(65 + items % 26), chr(65 + (items // 26) % 26)),
                     "      <po:productName>%s</po:productName>\n" % NAMES[items % len(NAMES)],
                     "      <po:quantity>%d</po:quantity>\n" % rnd.randint(1, 999),
                     "      <po:unitPrice>%d.%02d</po:unitPrice>\n" % (rnd.randint(0, 9999), rnd.randint(0, 99))]
            if items % 2:
                parts.append("      <po:color>%s</po:color>\n" % COLORS[items % 4])
            if items % 5 == 0:
                parts.append("      <po:comment>item %d: &quot;fragile&quot; &lt;handle with care&gt;</po:comment>\n" % items)
            if items % 3 == 0:
                parts.append("      <po:shipDate>2025-%02d-%02d</po:shipDate>\n" % (1 + items % 12, 1 + items % 28))
            parts.append("    </po:item>\n")
            chunk = "".join(parts)
            f.write(chunk)
            size += len(chunk.encode("utf-8"))
            items += 1
        f.write(TAIL)
    print("%s: %d items, %d bytes" % (argv[1], items, size + len(TAIL)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
