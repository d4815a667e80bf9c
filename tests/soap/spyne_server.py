"""Some SOAP peer test folders' services served by spyne, another SOAP stack,
with the messages of the folder's WSDL file and the behaviour of its impl/.

    spyne_server.py [--port N] [calculator_wrapped|arrays_optional|declared_faults|headers]
    spyne_server.py --list

Prints "spyne: serving NAME at http://127.0.0.1:PORT/PATH" once it listens;
SIGTERM or SIGINT stops it.
"""

import argparse
import contextlib
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


REQUIRED = {"min_occurs": 1, "nillable": False}


def on_pair():
    return rpc(Integer32(**REQUIRED), Integer32(**REQUIRED), _returns=Integer32,
               _out_variable_name="result", _args=("a", "b"))


class CalcService(ServiceBase):
    @on_pair()
    def Add(ctx, a, b):
        return a + b

    @on_pair()
    def Subtract(ctx, a, b):
        return a - b

    @on_pair()
    def Multiply(ctx, a, b):
        return a * b

    @rpc(Double(**REQUIRED), Double(**REQUIRED), _returns=Double, _out_variable_name="quotient",
         _args=("dividend", "divisor"))
    def Divide(ctx, dividend, divisor):
        if divisor == 0:
            raise Fault(faultcode="Client", faultstring="division by zero")
        return dividend / divisor


# arrays_optional ------------------------------------------------------------

STATS_NS = "http://www.kxtest.org/2025/stats"


def optional(model):  # left out when the value is None
    return model.customize(min_occurs=0, nillable=False)


def repeated(model, min_occurs=0):
    return model.customize(min_occurs=min_occurs, max_occurs="unbounded", nillable=False)


class Entry(ComplexModel):
    __namespace__ = STATS_NS
    _type_info = [("key", Unicode(**REQUIRED)), ("note", optional(Unicode))]


Order = Unicode(values=["ascending", "descending"], type_name="Order")


class StatsService(ServiceBase):
    @rpc(repeated(Integer32), optional(Unicode),
         _returns=(Integer32(**REQUIRED), Long(**REQUIRED), optional(Integer32), optional(Unicode),
                   repeated(Integer32)),
         _out_variable_names=("count", "total", "largest", "label", "sorted"),
         _args=("value", "label"))
    def Summarize(ctx, value, label):
        values = sorted(value or [])
        return len(values), sum(values), values[-1] if values else None, label, values

    @rpc(repeated(Entry, min_occurs=1), Order.customize(**REQUIRED),
         _returns=(repeated(Entry), Integer32(**REQUIRED)),
         _out_variable_names=("entry", "withoutNote"), _args=("entry", "order"))
    def Index(ctx, entry, order):
        entries = sorted(entry or [], key=lambda e: e.key, reverse=order == "descending")
        return entries, sum(1 for e in entries if e.note is None)


# declared_faults ------------------------------------------------------------

BANK_NS = "urn:kxtest:bank"
CENT = PyDecimal("0.01")


def client_fault(message, ns, element, fields):
    """A Client fault whose detail is the declared element {ns}element of the
    WSDL file, with the fields as its children: as the generated server sends
    declared faults and header faults."""
    detail = etree.Element(f"{{{ns}}}{element}", nsmap={"tns": ns})
    for name, value in fields:
        etree.SubElement(detail, f"{{{ns}}}{name}").text = str(value)
    return Fault(faultcode="Client", faultstring=message, detail=detail)


def bank_fault(message, element, fields):
    return client_fault(message, BANK_NS, element, fields)


class BankService(ServiceBase):
    balances = {"alice": PyDecimal("100.00"), "bob": PyDecimal("5.50")}

    @classmethod
    def account(cls, name):
        if name not in cls.balances:
            raise bank_fault(f"unknown account {name}", "UnknownAccount", [("account", name)])
        return cls.balances[name]

    @rpc(Unicode(**REQUIRED), Decimal(**REQUIRED),
         _returns=Decimal, _out_variable_name="balance", _args=("account", "amount"))
    def Withdraw(ctx, account, amount):
        if amount <= 0:
            raise Fault(faultcode="Client", faultstring="the amount must be positive")
        balance = BankService.account(account)
        if amount > balance:
            raise bank_fault(f"insufficient funds: {amount} requested, {balance} available",
                             "InsufficientFunds",
                             [("requested", amount), ("available", balance)])
        BankService.balances[account] = (balance - amount).quantize(CENT)
        return BankService.balances[account]

    @rpc(Unicode(**REQUIRED), _returns=Decimal, _out_variable_name="balance", _args=("account",))
    def Balance(ctx, account):
        return BankService.account(account).quantize(CENT)


# headers --------------------------------------------------------------------

SESSION_NS = "urn:kxtest:session"


class Credentials(ComplexModel):
    __namespace__ = SESSION_NS
    _type_info = [("username", Unicode(**REQUIRED)), ("token", Unicode(**REQUIRED))]


class Session(ComplexModel):
    __namespace__ = SESSION_NS
    _type_info = [("id", Unicode(**REQUIRED)), ("calls", Integer32(**REQUIRED))]


def auth_failed(username, reason):
    return client_fault(f"authentication failed: {reason}", SESSION_NS, "AuthFailed",
                        [("username", username), ("reason", reason)])


class SessionService(ServiceBase):
    calls = {}

    @rpc(Unicode(**REQUIRED), _returns=Unicode, _out_variable_name="greeting", _args=("name",),
         _in_header=(Credentials,), _out_header=(Session,))
    def Greet(ctx, name):
        credentials = ctx.in_header
        username = (credentials.username or "") if credentials is not None else ""
        if not username:
            raise auth_failed(username, "no credentials")
        if credentials.token != f"secret-{username}":
            raise auth_failed(username, "wrong token")
        SessionService.calls[username] = SessionService.calls.get(username, 0) + 1
        ctx.out_header = Session(id=f"session-{username}", calls=SessionService.calls[username])
        return f"Hello, {name}, from {username}"

    @rpc(Unicode(**REQUIRED), _returns=Unicode, _out_variable_name="text", _args=("text",))
    def Echo(ctx, text):
        return text


# folder: (service, its name in the WSDL file, target namespace, address path)
SERVICES = {
    "calculator_wrapped": (CalcService, "CalcService", "urn:kxtest:calc", "/calc"),
    "arrays_optional": (StatsService, "StatsService", STATS_NS, "/stats"),
    "declared_faults": (BankService, "BankService", BANK_NS, "/bank"),
    "headers": (SessionService, "SessionService", SESSION_NS, "/session"),
}


class QuietHandler(WSGIRequestHandler):
    def log_message(self, *args):
        pass


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--list", action="store_true", help="print the folders served, and stop")
    parser.add_argument("folder", nargs="?", default="calculator_wrapped", choices=sorted(SERVICES))
    args = parser.parse_args()
    if args.list:
        print("\n".join(sorted(SERVICES)))
        return 0
    logging.basicConfig(level=logging.ERROR)

    service, name, namespace, path = SERVICES[args.folder]
    wsgi = WsgiApplication(Application([service], tns=namespace, name=name,
                                       in_protocol=Soap11(validator="lxml"), out_protocol=Soap11()))

    def only_service_path(environ, start_response):
        if environ.get("PATH_INFO", "") == path:
            return wsgi(environ, start_response)
        start_response("404 Not Found", [("Content-Type", "text/plain")])
        return [b"not found\n"]

    server = make_server("127.0.0.1", args.port, only_service_path, handler_class=QuietHandler)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    print(f"spyne: serving {name} at http://127.0.0.1:{server.server_port}{path}", flush=True)
    with contextlib.suppress(KeyboardInterrupt), server:
        server.serve_forever()


if __name__ == "__main__":
    main()
