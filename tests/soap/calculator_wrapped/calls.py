"""Calls of the wrapped calculator: the wrapper's single child comes back
as the value itself."""

PROBE = ("Add", {"a": 20, "b": 22}, "{urn:kxtest:calc}AddResponse")


def run(service, report, peer):
    with report.case("Add 2 + 3") as case:
        case.equal(service.Add(a=2, b=3), 5)
    with report.case("Add negative numbers") as case:
        case.equal(service.Add(a=-7, b=-35), -42)
    with report.case("Subtract is not commutative") as case:
        case.equal(service.Subtract(a=3, b=10), -7)
        case.equal(service.Subtract(a=10, b=3), 7)
    with report.case("Multiply near the int range") as case:
        case.equal(service.Multiply(a=46340, b=46340), 2147395600)
        case.equal(service.Multiply(a=-2147483648, b=1), -2147483648)
    with report.case("Divide gives a double") as case:
        case.close(service.Divide(dividend=1.0, divisor=8.0), 0.125)
        case.close(service.Divide(dividend=10.0, divisor=3.0), 10.0 / 3.0)
    with report.case("Divide by zero is a client fault") as case:
        peer.expect_fault(case, lambda: service.Divide(dividend=1.0, divisor=0.0),
                          "division by zero")
    with report.case("served after a fault") as case:
        case.equal(service.Add(a=1, b=1), 2)
