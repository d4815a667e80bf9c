// CalcPortImpl.cpp: the calculator the SOAP tests call. Integer operations
// on xsd:int, division on xsd:double; dividing by zero is the caller's fault.
#include "CalcPortImpl.h"

namespace {

::kxtest_calc::Sum sumOf(std::int64_t value) {
    ::kxtest_calc::Sum sum;
    sum.setResult(static_cast<std::int32_t>(value));
    return sum;
}

}  // namespace

::kxtest_calc::Sum CalcPortImpl::Add(const ::kxtest_calc::Pair& parameters) {
    return sumOf(std::int64_t{parameters.getA()} + parameters.getB());
}

::kxtest_calc::Sum CalcPortImpl::Subtract(const ::kxtest_calc::Pair& parameters) {
    return sumOf(std::int64_t{parameters.getA()} - parameters.getB());
}

::kxtest_calc::Sum CalcPortImpl::Multiply(const ::kxtest_calc::Pair& parameters) {
    return sumOf(std::int64_t{parameters.getA()} * parameters.getB());
}

::kxtest_calc::DivideResponse CalcPortImpl::Divide(const ::kxtest_calc::Divide& parameters) {
    if (parameters.getDivisor() == 0) {
        throw orvo::Fault("Client", "division by zero");
    }
    ::kxtest_calc::DivideResponse response;
    response.setQuotient(parameters.getDividend() / parameters.getDivisor());
    return response;
}
