"""Calls of the wrapped calculator: the wrapper's single child comes back
as the value itself."""

PROBE = ("Add", {"a": 20, "b": 22}, "{urn:kxtest:calc}AddResponse")


def run(service, report, peer):
    # Negative numbers, the order of Subtract's operands, the ends of xsd:int.
    for operation, a, b, want in [("Add", 2, 3, 5), ("Add", -7, -35, -42), ("Subtract", 3, 10, -7),
                                  ("Subtract", 10, 3, 7), ("Multiply", 46340, 46340, 2147395600),
                                  ("Multiply", -2147483648, 1, -2147483648)]:
        with report.case(f"{operation} {a} {b}") as case:
            case.equal(getattr(service, operation)(a=a, b=b), want)
    with report.case("Divide gives a double") as case:
        case.close(service.Divide(dividend=1.0, divisor=8.0), 0.125)
        case.close(service.Divide(dividend=10.0, divisor=3.0), 10.0 / 3.0)
    with report.case("Divide by zero is a client fault, then served again") as case:
        peer.expect_fault(case, lambda: service.Divide(dividend=1.0, divisor=0.0),
                          "division by zero")
        case.equal(service.Add(a=1, b=1), 2)
