"""Calls of the bank, whose operations declare faults with detail elements.
Balances change as the calls go, so their order matters."""

from decimal import Decimal

PROBE = ("Balance", {"account": "bob"}, "{urn:kxtest:bank}BalanceResponse")

NS = "urn:kxtest:bank"


def run(service, report, peer):
    with report.case("Balance of a known account") as case:
        case.equal(service.Balance(account="alice"), Decimal("100.00"))
    with report.case("Withdraw lowers the balance") as case:
        case.equal(service.Withdraw(account="alice", amount=Decimal("30.25")), Decimal("69.75"))
        case.equal(service.Balance(account="alice"), Decimal("69.75"))
    with report.case("Withdraw more than the balance: InsufficientFunds") as case:
        fault = peer.expect_fault(
            case, lambda: service.Withdraw(account="bob", amount=Decimal("6.00")),
            "insufficient funds")
        check_detail(case, fault, "InsufficientFunds",
                     {"requested": Decimal("6.00"), "available": Decimal("5.50")})
    with report.case("a refused withdrawal leaves the balance") as case:
        case.equal(service.Balance(account="bob"), Decimal("5.50"))
    with report.case("Withdraw from an unknown account: UnknownAccount") as case:
        fault = peer.expect_fault(
            case, lambda: service.Withdraw(account="carol", amount=Decimal("1")),
            "unknown account carol")
        check_detail(case, fault, "UnknownAccount", {"account": "carol"})
    with report.case("Balance of an unknown account: UnknownAccount") as case:
        peer.expect_fault(case, lambda: service.Balance(account="dave"), "unknown account dave")
    with report.case("Withdraw a negative amount is a client fault") as case:
        peer.expect_fault(case, lambda: service.Withdraw(account="bob", amount=Decimal("-1")),
                          "must be positive")


def check_detail(case, fault, element, fields):
    """The fault's detail must be the declared element with the values the
    call implies."""
    detail = fault.detail
    if detail is None or len(detail) == 0:
        case.true(False, f"no detail element sent ({element} declared)")
        return
    child = detail[0]
    case.equal(child.tag, f"{{{NS}}}{element}", "detail element")
    for name, want in fields.items():
        text = child.findtext(f"{{{NS}}}{name}")
        case.true(text is not None, f"detail has no {name}")
        got = Decimal(text) if isinstance(want, Decimal) else text
        case.equal(got, want, f"detail {name}")
