#include "Families.h"

namespace workbook::functions {

namespace {

// The annuity identities behind PMT, PV, FV, NPER and RATE:
// pv (1+r)^n + pmt (1 + r type) ((1+r)^n - 1) / r + fv = 0.
double futureValue(double rate, double periods, double payment, double present, double type)
{
    if (rate == 0)
        return -(present + payment * periods);
    const double growth = std::pow(1 + rate, periods);
    return -(present * growth + payment * (1 + rate * type) * (growth - 1) / rate);
}

double payment(double rate, double periods, double present, double future, double type)
{
    if (rate == 0)
        return -(present + future) / periods;
    const double growth = std::pow(1 + rate, periods);
    return -(present * growth + future) * rate / ((1 + rate * type) * (growth - 1));
}

// The arguments the annuity functions share: three numbers they need, a
// fourth that defaults to 0 (a present or future value), and the payment
// timing (0 or absent: at the end of each period). False when one fails.
struct Annuity
{
    double first = 0, second = 0, third = 0, fourth = 0;
    double type = 0;
};

bool readAnnuity(FunctionArgs &args, int from, Annuity &a)
{
    a.first = args.number(from);
    a.second = args.number(from + 1);
    a.third = args.number(from + 2);
    a.fourth = args.number(from + 3, 0);
    a.type = args.number(from + 4, 0) != 0;
    return !args.failed();
}

Value pmt(FunctionArgs &args)
{
    Annuity a;
    if (!readAnnuity(args, 0, a))
        return args.failure();
    const double rate = a.first, periods = a.second, present = a.third, future = a.fourth, type = a.type;
    if (periods == 0)
        return Value::error(ErrorCode::Num);
    return Value::number(payment(rate, periods, present, future, type));
}

Value pv(FunctionArgs &args)
{
    Annuity a;
    if (!readAnnuity(args, 0, a))
        return args.failure();
    const double rate = a.first, periods = a.second, pay = a.third, future = a.fourth, type = a.type;
    if (rate == 0)
        return Value::number(-(future + pay * periods));
    const double growth = std::pow(1 + rate, periods);
    return Value::number(-(future + pay * (1 + rate * type) * (growth - 1) / rate) / growth);
}

Value fv(FunctionArgs &args)
{
    Annuity a;
    if (!readAnnuity(args, 0, a))
        return args.failure();
    return Value::number(futureValue(a.first, a.second, a.third, a.fourth, a.type));
}

Value nper(FunctionArgs &args)
{
    Annuity a;
    if (!readAnnuity(args, 0, a))
        return args.failure();
    const double rate = a.first, pay = a.second, present = a.third, future = a.fourth, type = a.type;
    if (rate == 0)
        return pay == 0 ? Value::error(ErrorCode::Num) : Value::number(-(present + future) / pay);
    const double annuity = pay * (1 + rate * type) / rate;
    const double ratio = (annuity - future) / (annuity + present);
    if (ratio <= 0)
        return Value::error(ErrorCode::Num);
    return Value::number(std::log(ratio) / std::log(1 + rate));
}

Value rate(FunctionArgs &args)
{
    Annuity a;
    double r = args.number(5, 0.1);
    if (!readAnnuity(args, 0, a))
        return args.failure();
    const double periods = a.first, pay = a.second, present = a.third, future = a.fourth, type = a.type;
    // Newton's method on the annuity identity, as the spreadsheet does (20 steps, 1e-7).
    for (int step = 0; step < 50; ++step) {
        const double f = -futureValue(r, periods, pay, present, type) - future;
        const double h = std::max(1e-7, std::fabs(r) * 1e-6);
        const double g = (-futureValue(r + h, periods, pay, present, type) - future - f) / h;
        if (g == 0 || !std::isfinite(g))
            break;
        const double next = r - f / g;
        if (!std::isfinite(next) || next <= -1)
            break;
        if (std::fabs(next - r) < 1e-10)
            return Value::number(next);
        r = next;
    }
    return Value::error(ErrorCode::Num);
}

Value npv(FunctionArgs &args)
{
    const double r = args.number(0);
    if (args.failed())
        return args.failure();
    std::vector<double> flows;
    if (!args.collectNumbers(1, flows))
        return args.failure();
    if (r == -1)
        return Value::error(ErrorCode::Div0);
    double total = 0, discount = 1;
    for (double flow : flows) {
        discount *= 1 + r;
        total += flow / discount;
    }
    return Value::number(total);
}

Value irr(FunctionArgs &args)
{
    std::vector<double> flows;
    if (!args.numbersOf(0, flows))
        return args.failure();
    double r = args.number(1, 0.1);
    if (args.failed())
        return args.failure();
    bool positive = false, negative = false;
    for (double f : flows) {
        positive = positive || f > 0;
        negative = negative || f < 0;
    }
    if (!positive || !negative)
        return Value::error(ErrorCode::Num);
    for (int step = 0; step < 100; ++step) {
        double value = 0, derivative = 0, discount = 1;
        for (size_t t = 0; t < flows.size(); ++t) {
            value += flows[t] / discount;
            derivative -= t * flows[t] / (discount * (1 + r));
            discount *= 1 + r;
        }
        if (derivative == 0 || !std::isfinite(derivative))
            break;
        const double next = r - value / derivative;
        if (!std::isfinite(next) || next <= -1)
            break;
        if (std::fabs(next - r) < 1e-12)
            return Value::number(next);
        r = next;
    }
    return Value::error(ErrorCode::Num);
}

// Interest and principal parts of one payment.
template <bool Interest>
Value paymentPart(FunctionArgs &args)
{
    const double r = args.number(0);
    Annuity a;
    if (!readAnnuity(args, 1, a))
        return args.failure();
    const double period = a.first, periods = a.second, present = a.third, future = a.fourth, type = a.type;
    if (period < 1 || period > periods)
        return Value::error(ErrorCode::Num);
    const double pay = payment(r, periods, present, future, type);
    // The balance before this payment earns the interest; paying in advance
    // leaves nothing to earn in the first period.
    double balance;
    if (type)
        balance = period == 1 ? 0 : futureValue(r, period - 2, pay, present, 1) - pay;
    else
        balance = futureValue(r, period - 1, pay, present, 0);
    const double interest = balance * r;
    return Value::number(Interest ? interest : pay - interest);
}

Value sln(FunctionArgs &args)
{
    const double cost = args.number(0), salvage = args.number(1), life = args.number(2);
    if (args.failed())
        return args.failure();
    return life == 0 ? Value::error(ErrorCode::Div0) : Value::number((cost - salvage) / life);
}

Value effect(FunctionArgs &args)
{
    const double nominal = args.number(0), periods = std::trunc(args.number(1));
    if (args.failed())
        return args.failure();
    if (nominal <= 0 || periods < 1)
        return Value::error(ErrorCode::Num);
    return Value::number(std::pow(1 + nominal / periods, periods) - 1);
}

Value nominal(FunctionArgs &args)
{
    const double effective = args.number(0), periods = std::trunc(args.number(1));
    if (args.failed())
        return args.failure();
    if (effective <= 0 || periods < 1)
        return Value::error(ErrorCode::Num);
    return Value::number(periods * (std::pow(1 + effective, 1 / periods) - 1));
}

} // namespace

const std::vector<FunctionInfo> &financialFunctions()
{
    static const std::vector<FunctionInfo> functions = {
        {"PMT", 3, 5, "n", pmt},
        {"PV", 3, 5, "n", pv},
        {"FV", 3, 5, "n", fv},
        {"NPER", 3, 5, "n", nper},
        {"RATE", 3, 6, "n", rate},
        {"NPV", 2, 255, "na", npv},
        {"IRR", 1, 2, "rn", irr},
        {"IPMT", 4, 6, "n", paymentPart<true>},
        {"PPMT", 4, 6, "n", paymentPart<false>},
        {"SLN", 3, 3, "n", sln},
        {"EFFECT", 2, 2, "n", effect},
        {"NOMINAL", 2, 2, "n", nominal},
    };
    return functions;
}

} // namespace workbook::functions
