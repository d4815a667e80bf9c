// ShapesPortImpl.cpp: operations on the types of the imported schema.
#include "ShapesPortImpl.h"

::kxtest_shapes::MidpointResponse ShapesPortImpl::Midpoint(
    const ::kxtest_shapes::Midpoint& parameters) {
    ::kxtest_shapes_types::Point point;
    point.setX((parameters.getFrom().getX() + parameters.getTo().getX()) / 2);
    point.setY((parameters.getFrom().getY() + parameters.getTo().getY()) / 2);
    ::kxtest_shapes::MidpointResponse response;
    response.setPoint(point);
    return response;
}

::kxtest_shapes::ConvertResponse ShapesPortImpl::Convert(
    const ::kxtest_shapes::Convert& parameters) {
    using Unit = ::kxtest_shapes_types::Unit;
    auto millimetres = [](Unit unit) {
        return unit == Unit::m ? 1000.0 : unit == Unit::cm ? 10.0 : 1.0;
    };
    ::kxtest_shapes::ConvertResponse response;
    response.setLength(parameters.getLength() * millimetres(parameters.getFrom()) /
                       millimetres(parameters.getTo()));
    response.setUnit(parameters.getTo());
    return response;
}
