// GeometryPortImpl.cpp: operations of several parts each, called rpc/literal.
#include "GeometryPortImpl.h"

std::string GeometryPortImpl::repeat(const std::string& word, std::int32_t times,
                                     const std::string& separator) {
    if (times < 0) {
        throw orvo::Fault("Client", "times must not be negative");
    }
    std::string text;
    for (std::int32_t i = 0; i < times; ++i) {
        text += (i > 0 ? separator : std::string()) + word;
    }
    return text;
}

::kxtest_geometry::Size GeometryPortImpl::scale(const ::kxtest_geometry::Size& size,
                                                double factor) {
    ::kxtest_geometry::Size scaled;
    scaled.setWidth(size.getWidth() * factor);
    scaled.setHeight(size.getHeight() * factor);
    return scaled;
}
