"""Services of the SOAP peer test folders served by spyne, a SOAP stack of
its own: peers that clients generated from those folders' WSDL files can be
tested against.

    spyne_server.py [--port N] [FOLDER]

FOLDER is calculator_wrapped (the default), arrays_optional or
declared_faults; --port 0, the default, lets the system choose. The first
line on standard output is the service's address,
    spyne: serving CalcService at http://127.0.0.1:PORT/calc
printed once the server listens. SIGTERM or SIGINT stops it.

Each service sends the messages of its folder's WSDL file and behaves as the
folder's impl/ does (calls.py states what each call answers):
  calculator_wrapped  document/literal wrapped in urn:kxtest:calc,
                      Add/Subtract/Multiply on xsd:int answering <result>,
                      Divide on xsd:double answering <quotient>, division by
                      zero a Client fault.
  arrays_optional     Summarize and Index: repeated and optional elements,
                      optional answers left out when there is nothing to say.
  declared_faults     Withdraw and Balance on accounts alice (100.00) and bob
                      (5.50); InsufficientFunds and UnknownAccount faults with
                      their detail elements, Client faults.
"""

import argparse
import logging
import signal
import sys
from decimal import Decimal as PyDecimal
from wsgiref.simple_server import WSGIRequestHandler, make_server

from lxml import etree
from spyne import (Application, ComplexModel, Decimal, Double, Fault, Integer32, Long,
                   ServiceBase, Unicode, rpc)
from spyne.protocol.soap import Soap11
from spyne.server.wsgi import WsgiApplication


class CalcService(ServiceBase):
    @rpc(Integer32(nillable=False, min_occurs=1), Integer32(nillable=False, min_occurs=1),
         _returns=Integer32, _out_variable_name="result", _args=("a", "b"))
    def Add(ctx, a, b):
        return a + b

    @rpc(Integer32(nillable=False, min_occurs=1), Integer32(nillable=False, min_occurs=1),
         _returns=Integer32, _out_variable_name="result", _args=("a", "b"))
    def Subtract(ctx, a, b):
        return a - b

    @rpc(Integer32(nillable=False, min_occurs=1), Integer32(nillable=False, min_occurs=1),
         _returns=Integer32, _out_variable_name="result", _args=("a", "b"))
    def Multiply(ctx, a, b):
        return a * b

    @rpc(Double(nillable=False, min_occurs=1), Double(nillable=False, min_occurs=1),
         _returns=Double, _out_variable_name="quotient", _args=("dividend", "divisor"))
    def Divide(ctx, dividend, divisor):
        if divisor == 0:
            raise Fault(faultcode="Client", faultstring="division by zero")
        return dividend / divisor


# arrays_optional ------------------------------------------------------------

STATS_NS = "http://www.kxtest.org/2025/stats"


def optional(model):
    """An element that may be absent, and is left out when the value is None."""
    return model.customize(min_occurs=0, nillable=False)


def repeated(model, min_occurs=0):
    return model.customize(min_occurs=min_occurs, max_occurs="unbounded", nillable=False)


class Entry(ComplexModel):
    __namespace__ = STATS_NS
    _type_info = [
        ("key", Unicode(min_occurs=1, nillable=False)),
        ("note", optional(Unicode)),
    ]


class StatsService(ServiceBase):
    @rpc(repeated(Integer32), optional(Unicode),
         _returns=(Integer32(min_occurs=1, nillable=False), Long(min_occurs=1, nillable=False),
                   optional(Integer32), optional(Unicode), repeated(Integer32)),
         _out_variable_names=("count", "total", "largest", "label", "sorted"),
         _args=("value", "label"))
    def Summarize(ctx, value, label):
        values = list(value or [])
        return (len(values), sum(values), max(values) if values else None, label,
                sorted(values))

    @rpc(repeated(Entry, min_occurs=1),
         _returns=(repeated(Entry), Integer32(min_occurs=1, nillable=False)),
         _out_variable_names=("entry", "withoutNote"), _args=("entry",))
    def Index(ctx, entry):
        entries = sorted(entry or [], key=lambda e: e.key)
        return entries, sum(1 for e in entries if e.note is None)


# declared_faults ------------------------------------------------------------

BANK_NS = "urn:kxtest:bank"
CENT = PyDecimal("0.01")


def bank_fault(message, element, fields):
    """A Client fault whose detail is the declared element of the WSDL file."""
    detail = etree.Element(f"{{{BANK_NS}}}{element}", nsmap={"tns": BANK_NS})
    for name, value in fields:
        etree.SubElement(detail, f"{{{BANK_NS}}}{name}").text = str(value)
    return Fault(faultcode="Client", faultstring=message, detail=detail)


class BankService(ServiceBase):
    balances = {}

    @classmethod
    def reset(cls):
        cls.balances = {"alice": PyDecimal("100.00"), "bob": PyDecimal("5.50")}

    @classmethod
    def account(cls, name):
        if name not in cls.balances:
            raise bank_fault(f"unknown account {name}", "UnknownAccount", [("account", name)])
        return cls.balances[name]

    @rpc(Unicode(min_occurs=1, nillable=False), Decimal(min_occurs=1, nillable=False),
         _returns=Decimal, _out_variable_name="balance", _args=("account", "amount"))
    def Withdraw(ctx, account, amount):
        if amount != amount.quantize(CENT):
            raise Fault(faultcode="Client", faultstring=f"amounts are in whole cents: {amount}")
        if amount <= 0:
            raise Fault(faultcode="Client", faultstring="the amount must be positive")
        balance = BankService.account(account)
        if amount > balance:
            raise bank_fault(f"insufficient funds: {amount} requested, {balance} available",
                             "InsufficientFunds",
                             [("requested", amount), ("available", balance)])
        BankService.balances[account] = (balance - amount).quantize(CENT)
        return BankService.balances[account]

    @rpc(Unicode(min_occurs=1, nillable=False),
         _returns=Decimal, _out_variable_name="balance", _args=("account",))
    def Balance(ctx, account):
        return BankService.account(account).quantize(CENT)


# folder: (service, its name in the WSDL file, target namespace, address path)
SERVICES = {
    "calculator_wrapped": (CalcService, "CalcService", "urn:kxtest:calc", "/calc"),
    "arrays_optional": (StatsService, "StatsService", STATS_NS, "/stats"),
    "declared_faults": (BankService, "BankService", BANK_NS, "/bank"),
}


class QuietHandler(WSGIRequestHandler):
    def log_message(self, *args):
        pass


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("folder", nargs="?", default="calculator_wrapped",
                        choices=sorted(SERVICES))
    args = parser.parse_args()
    logging.basicConfig(level=logging.ERROR)

    service, name, namespace, path = SERVICES[args.folder]
    BankService.reset()
    application = Application([service], tns=namespace, name=name,
                              in_protocol=Soap11(validator="lxml"), out_protocol=Soap11())
    wsgi = WsgiApplication(application)

    def only_service_path(environ, start_response):
        if environ.get("PATH_INFO", "") != path:
            start_response("404 Not Found", [("Content-Type", "text/plain")])
            return [b"not found\n"]
        return wsgi(environ, start_response)

    server = make_server("127.0.0.1", args.port, only_service_path, handler_class=QuietHandler)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    print(f"spyne: serving {name} at http://127.0.0.1:{server.server_port}{path}", flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()


if __name__ == "__main__":
    main()
