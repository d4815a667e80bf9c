"""Wall time of N Add calls made by a zeep client, one after the other.

    zeep_calls.py WSDL URL [N]        (N defaults to 1000)

The client is made from the WSDL file, with URL in place of the port's
address, and makes one call before the clock starts (the connection and
zeep's first-call costs are not timed). Every answer is checked (a + b).
Prints one line: the seconds of the N calls. Exits 1 on a wrong answer.
"""

import sys
import time

import zeep


def main():
    wsdl, url = sys.argv[1], sys.argv[2]
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 1000
    transport = zeep.Transport(timeout=30, operation_timeout=30)
    client = zeep.Client(wsdl, transport=transport)
    # The binding of the first port of the first service, as the peer tests
    # (tests/soap/zeep_client.py) take it.
    port = next(iter(next(iter(client.wsdl.services.values())).ports.values()))
    service = client.create_service(port.binding.name, url)
    if service.Add(a=1, b=2) != 3:
        print("wrong answer to the warm-up call", file=sys.stderr)
        return 1
    start = time.perf_counter()
    for i in range(count):
        result = service.Add(a=i, b=7)
        if result != i + 7:
            print(f"call {i}: Add({i}, 7) answered {result!r}", file=sys.stderr)
            return 1
    print(f"{time.perf_counter() - start:.6f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
