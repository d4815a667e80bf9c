"""Calls using the types of the imported schema: their child elements are in
the imported namespace, which zeep checks on the way back."""

PROBE = ("Convert", {"length": 1.0, "from": "m", "to": "cm"},
         "{urn:kxtest:shapes}ConvertResponse")


def run(service, report, peer):
    with report.case("Midpoint of two imported-type points") as case:
        point = service.Midpoint(**{"from": {"x": 0.0, "y": -2.0}, "to": {"x": 3.0, "y": 8.0}})
        case.close(point.x, 1.5, "x")
        case.close(point.y, 3.0, "y")
    with report.case("Convert with an imported enumeration") as case:
        answer = service.Convert(length=2.5, **{"from": "m", "to": "mm"})
        case.close(answer.length, 2500.0, "length")
        case.equal(answer.unit, "mm", "unit")
    with report.case("Convert to a larger unit") as case:
        answer = service.Convert(length=15.0, **{"from": "mm", "to": "cm"})
        case.close(answer.length, 1.5, "length")
        case.equal(answer.unit, "cm", "unit")
