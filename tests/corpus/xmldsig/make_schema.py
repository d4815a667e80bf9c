"""The W3C's XML Signature schema as a corpus folder: copies
xmldsig-core-schema.xsd from the shared corpus of public inputs into
OUTDIR/w3c, where signed-order.xsd imports it (KX_SHARED_CORPUS, else ../shared/corpus beside KX_SOURCE_ROOT). Exits 77,
which the runner counts as skipped, on a machine without that corpus."""
import os
import shutil
import sys

corpus = os.environ.get("KX_SHARED_CORPUS") or os.path.join(
    os.environ["KX_SOURCE_ROOT"], "..", "shared", "corpus")
source = os.path.join(corpus, "wsdl", "zeep-tests", "xmldsig-core-schema.xsd")
if not os.path.isfile(source):
    print("no shared corpus at %s" % os.path.abspath(corpus))
    sys.exit(77)
os.makedirs(os.path.join(sys.argv[1], "w3c"), exist_ok=True)
shutil.copyfile(source, os.path.join(sys.argv[1], "w3c", "xmldsig-core-schema.xsd"))
