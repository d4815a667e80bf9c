// Calls every operation of the calculator through the generated client with
// the values of calls.py and prints one line per answer (check_line.h).
#include <cstdio>
#include <string>

#include "CalcPortClientProxy.h"
#include "check_line.h"

int main(int argc, char** argv) {
    CalcPortClientProxy calc(endpointOf(argc, argv));
    using Operation = kxtest_calc::Sum (CalcPortClientProxy::*)(const kxtest_calc::Pair&);
    auto call = [&](Operation operation, int a, int b) {
        kxtest_calc::Pair pair;
        pair.setA(a);
        pair.setB(b);
        return std::to_string((calc.*operation)(pair).getResult());
    };
    auto divide = [&](double dividend, double divisor) {
        kxtest_calc::Divide division;
        division.setDividend(dividend);
        division.setDivisor(divisor);
        char text[64];
        std::snprintf(text, sizeof text, "%.17g", calc.Divide(division).getQuotient());
        return std::string(text);
    };

    line("Add 2 3", [&] { return call(&CalcPortClientProxy::Add, 2, 3); });
    line("Add -7 -35", [&] { return call(&CalcPortClientProxy::Add, -7, -35); });
    line("Subtract 3 10", [&] { return call(&CalcPortClientProxy::Subtract, 3, 10); });
    line("Subtract 10 3", [&] { return call(&CalcPortClientProxy::Subtract, 10, 3); });
    line("Multiply 46340 46340",
         [&] { return call(&CalcPortClientProxy::Multiply, 46340, 46340); });
    line("Multiply -2147483648 1",
         [&] { return call(&CalcPortClientProxy::Multiply, -2147483647 - 1, 1); });
    line("Divide 1 8", [&] { return divide(1.0, 8.0); });
    line("Divide 10 3", [&] { return divide(10.0, 3.0); });
    line("Divide 1 0", [&] { return divide(1.0, 0.0); });
    line("Add 1 1", [&] { return call(&CalcPortClientProxy::Add, 1, 1); });
    return 0;
}
