// ShapesPortImpl.cpp: operations on the types of the imported schema.
#include "ShapesPortImpl.h"

namespace {

double millimetres(::kxtest_shapes_types::Unit unit) {
    switch (unit) {
        case ::kxtest_shapes_types::Unit::mm:
            return 1;
        case ::kxtest_shapes_types::Unit::cm:
            return 10;
        case ::kxtest_shapes_types::Unit::m:
            return 1000;
    }
    return 1;
}

}  // namespace

::kxtest_shapes::MidpointResponse ShapesPortImpl::Midpoint(const ::kxtest_shapes::Midpoint& parameters) {
    ::kxtest_shapes_types::Point point;
    point.setX((parameters.getFrom().getX() + parameters.getTo().getX()) / 2);
    point.setY((parameters.getFrom().getY() + parameters.getTo().getY()) / 2);
    ::kxtest_shapes::MidpointResponse response;
    response.setPoint(point);
    return response;
}

::kxtest_shapes::ConvertResponse ShapesPortImpl::Convert(const ::kxtest_shapes::Convert& parameters) {
    ::kxtest_shapes::ConvertResponse response;
    response.setLength(parameters.getLength() * millimetres(parameters.getFrom()) /
                       millimetres(parameters.getTo()));
    response.setUnit(parameters.getTo());
    return response;
}
