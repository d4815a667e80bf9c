"""The bundled home's example schema and order as a corpus folder: copies
home/examples/purchaseorder.xsd and .xml from KX_SOURCE_ROOT into OUTDIR."""
import os
import shutil
import sys

for name in ("purchaseorder.xsd", "purchaseorder.xml"):
    shutil.copyfile(os.path.join(os.environ["KX_SOURCE_ROOT"], "home", "examples", name),
                    os.path.join(sys.argv[1], name))
