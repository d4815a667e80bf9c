"""The bundled home's example schema and order, as a corpus folder: copies
home/examples/purchaseorder.xsd and purchaseorder.xml into OUTDIR. The
driver runs this from a scratch copy and gives the source tree in
KX_SOURCE_ROOT."""
import os
import shutil
import sys
from pathlib import Path

EXAMPLES = Path(os.environ["KX_SOURCE_ROOT"]) / "home" / "examples"


def main(argv):
    out = Path(argv[1])
    for name in ("purchaseorder.xsd", "purchaseorder.xml"):
        shutil.copyfile(EXAMPLES / name, out / name)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
