"""Calls of the bank, whose operations declare faults with detail elements.
Balances change as the calls go, so their order matters."""

from decimal import Decimal

PROBE = ("Balance", {"account": "bob"}, "{urn:kxtest:bank}BalanceResponse")

NS = "urn:kxtest:bank"


def run(service, report, peer):
    with report.case("Balance, and Withdraw lowers it") as case:
        case.equal(service.Balance(account="alice"), Decimal("100.00"))
        case.equal(service.Withdraw(account="alice", amount=Decimal("30.25")), Decimal("69.75"))
        case.equal(service.Balance(account="alice"), Decimal("69.75"))
    # The declared faults carry their detail element with the values the call implies.
    for account, amount, reason, element, detail in [
            ("bob", "6.00", "insufficient funds", "InsufficientFunds",
             {"requested": Decimal("6.00"), "available": Decimal("5.50")}),
            ("carol", "1", "unknown account carol", "UnknownAccount", {"account": "carol"}),
            ("bob", "-1", "must be positive", None, None)]:
        with report.case(f"Withdraw {amount} from {account}: {element or 'a client fault'}") as case:
            fault = peer.expect_fault(
                case, lambda: service.Withdraw(account=account, amount=Decimal(amount)), reason)
            if element:
                child = fault.detail[0] if fault.detail is not None and len(fault.detail) else None
                case.equal(getattr(child, "tag", None), f"{{{NS}}}{element}", "detail element")
                case.equal({name: type(want)(child.findtext(f"{{{NS}}}{name}") or "")
                            for name, want in detail.items()}, detail, "detail")
    with report.case("a refused withdrawal leaves the balance") as case:
        case.equal(service.Balance(account="bob"), Decimal("5.50"))
    with report.case("Balance of an unknown account: UnknownAccount") as case:
        peer.expect_fault(case, lambda: service.Balance(account="dave"), "unknown account dave")
