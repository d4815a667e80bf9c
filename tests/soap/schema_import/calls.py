"""Calls using the types of the imported schema: their child elements are in
the imported namespace, which zeep checks on the way back."""

PROBE = ("Convert", {"length": 1.0, "from": "m", "to": "cm"},
         "{urn:kxtest:shapes}ConvertResponse")


def run(service, report, peer):
    with report.case("Midpoint of two imported-type points") as case:
        point = service.Midpoint(**{"from": {"x": 0.0, "y": -2.0}, "to": {"x": 3.0, "y": 8.0}})
        case.close(point.x, 1.5, "x")
        case.close(point.y, 3.0, "y")
    # An imported enumeration, to a smaller and to a larger unit.
    for length, source, target, want in [(2.5, "m", "mm", 2500.0), (15.0, "mm", "cm", 1.5)]:
        with report.case(f"Convert {length} {source} to {target}") as case:
            answer = service.Convert(length=length, **{"from": source, "to": target})
            case.close(answer.length, want, "length")
            case.equal(answer.unit, target, "unit")
