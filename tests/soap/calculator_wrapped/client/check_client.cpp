// Calls every operation of the calculator through the generated client, with
// the values of calls.py, and prints one line per answer:
//     check_client URL
// A SOAP fault prints "fault <code>: <text>", an HTTP failure "http <status>: <text>".
#include <cstdio>
#include <exception>
#include <functional>
#include <iostream>
#include <string>

#include "CalcPortClientProxy.h"
#include "check_line.h"

namespace {

std::string number(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

kxtest_calc::Pair pair(int a, int b) {
    kxtest_calc::Pair p;
    p.setA(a);
    p.setB(b);
    return p;
}

kxtest_calc::Divide division(double dividend, double divisor) {
    kxtest_calc::Divide d;
    d.setDividend(dividend);
    d.setDivisor(divisor);
    return d;
}

}  // namespace

int main(int argc, char** argv) {
    CalcPortClientProxy calc(endpointOf(argc, argv));
    auto add = [&](int a, int b) { return std::to_string(calc.Add(pair(a, b)).getResult()); };
    auto subtract = [&](int a, int b) {
        return std::to_string(calc.Subtract(pair(a, b)).getResult());
    };
    auto multiply = [&](int a, int b) {
        return std::to_string(calc.Multiply(pair(a, b)).getResult());
    };
    auto divide = [&](double x, double y) {
        return number(calc.Divide(division(x, y)).getQuotient());
    };

    line("Add 2 3", [&] { return add(2, 3); });
    line("Add -7 -35", [&] { return add(-7, -35); });
    line("Subtract 3 10", [&] { return subtract(3, 10); });
    line("Subtract 10 3", [&] { return subtract(10, 3); });
    line("Multiply 46340 46340", [&] { return multiply(46340, 46340); });
    line("Multiply -2147483648 1", [&] { return multiply(-2147483647 - 1, 1); });
    line("Divide 1 8", [&] { return divide(1.0, 8.0); });
    line("Divide 10 3", [&] { return divide(10.0, 3.0); });
    line("Divide 1 0", [&] { return divide(1.0, 0.0); });
    line("Add 1 1", [&] { return add(1, 1); });
    return 0;
}
