"""The service of calculator_wrapped/calculator.wsdl served by spyne, a SOAP
stack of its own: a peer that clients generated from that file can be tested
against.

    spyne_server.py [--port N]    (0, the default, lets the system choose)

The first line on standard output is the service's address,
    spyne: serving CalcService at http://127.0.0.1:PORT/calc
printed once the server listens. SIGTERM or SIGINT stops it.

Same messages as the WSDL file: document/literal wrapped in urn:kxtest:calc,
Add/Subtract/Multiply on xsd:int answering <result>, Divide on xsd:double
answering <quotient>, division by zero a Client fault.
"""

import argparse
import logging
import signal
import sys
from wsgiref.simple_server import WSGIRequestHandler, make_server

from spyne import Application, Double, Fault, Integer32, ServiceBase, rpc
from spyne.protocol.soap import Soap11
from spyne.server.wsgi import WsgiApplication

NAMESPACE = "urn:kxtest:calc"
PATH = "/calc"


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


class QuietHandler(WSGIRequestHandler):
    def log_message(self, *args):
        pass


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, default=0)
    args = parser.parse_args()
    logging.basicConfig(level=logging.ERROR)

    application = Application([CalcService], tns=NAMESPACE, name="CalcService",
                              in_protocol=Soap11(validator="lxml"), out_protocol=Soap11())
    wsgi = WsgiApplication(application)

    def only_service_path(environ, start_response):
        if environ.get("PATH_INFO", "") != PATH:
            start_response("404 Not Found", [("Content-Type", "text/plain")])
            return [b"not found\n"]
        return wsgi(environ, start_response)

    server = make_server("127.0.0.1", args.port, only_service_path, handler_class=QuietHandler)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    print(f"spyne: serving CalcService at http://127.0.0.1:{server.server_port}{PATH}", flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()


if __name__ == "__main__":
    main()
