#include "Dates.h"
#include "Families.h"

#include <algorithm>
#include <iterator>

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

// A rate above -100% where `balance` vanishes. Newton's method from the
// user's guess, then from other usual rates; when none of those converges,
// the first sign change on a grid of rates (nearest the guess first) is
// bisected. False when there is no root to be found.
bool solveRate(const std::function<double(double)> &balance, double guess, double &rate)
{
    const auto newton = [&](double r) {
        for (int step = 0; step < 60; ++step) {
            const double f = balance(r);
            if (!std::isfinite(f))
                return false;
            const double h = 1e-7 * std::max(1.0, std::fabs(r));
            const double slope = (balance(r + h) - balance(r - h)) / (2 * h);
            if (slope == 0 || !std::isfinite(slope))
                return false;
            double next = r - f / slope;
            if (!std::isfinite(next))
                return false;
            if (next <= -1)
                next = (r - 1) / 2; // halfway to -100%, never past it
            if (std::fabs(next - r) <= 1e-13 * std::max(1.0, std::fabs(r))) {
                rate = next;
                return true;
            }
            r = next;
        }
        return false;
    };
    for (const double start : {guess, 0.1, 0.01, 0.001, 0.5, -0.5, 1.0, 5.0, -0.9})
        if (start > -1 && newton(start))
            return true;
    static const double grid[] = {-0.999999, -0.9999, -0.999, -0.99, -0.9, -0.75, -0.5, -0.25, -0.1, -0.05, -0.01, 0,
                                  0.01,      0.025,   0.05,   0.1,   0.2,  0.35,  0.5,  0.75,  1,    2,     5,     10, 100, 1000};
    double low = 0, high = 0;
    bool bracketed = false;
    for (size_t i = 0; i + 1 < std::size(grid); ++i) {
        const double a = balance(grid[i]), b = balance(grid[i + 1]);
        const bool nearer = !bracketed || std::fabs(grid[i] - guess) < std::fabs(low - guess);
        if (std::isfinite(a) && std::isfinite(b) && (a < 0) != (b < 0) && nearer) {
            low = grid[i];
            high = grid[i + 1];
            bracketed = true;
        }
    }
    if (!bracketed)
        return false;
    const bool rising = balance(low) < 0;
    for (int step = 0; step < 200; ++step) {
        const double middle = low + (high - low) / 2;
        if (middle <= low || middle >= high)
            break;
        if ((balance(middle) < 0) == rising)
            low = middle;
        else
            high = middle;
    }
    rate = low + (high - low) / 2;
    return true;
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
    const double guess = args.number(5, 0.1);
    if (!readAnnuity(args, 0, a))
        return args.failure();
    const double periods = a.first, pay = a.second, present = a.third, future = a.fourth, type = a.type;
    if (periods <= 0)
        return Value::error(ErrorCode::Num);
    // pv (1+r)^n + pmt (1 + r type) ((1+r)^n - 1) / r + fv = 0
    const auto balance = [&](double r) { return future - futureValue(r, periods, pay, present, type); };
    double r;
    return solveRate(balance, guess, r) ? Value::number(r) : Value::error(ErrorCode::Num);
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

// The present value of cash flows at fractional times (in periods).
double presentValue(double rate, const std::vector<double> &flows, const std::vector<double> &times)
{
    double total = 0;
    for (size_t i = 0; i < flows.size(); ++i)
        total += flows[i] / std::pow(1 + rate, times[i]);
    return total;
}

bool hasBothSigns(const std::vector<double> &flows)
{
    bool positive = false, negative = false;
    for (double f : flows) {
        positive = positive || f > 0;
        negative = negative || f < 0;
    }
    return positive && negative;
}

Value irr(FunctionArgs &args)
{
    std::vector<double> flows;
    if (!args.numbersOf(0, flows))
        return args.failure();
    const double guess = args.number(1, 0.1);
    if (args.failed())
        return args.failure();
    if (!hasBothSigns(flows))
        return Value::error(ErrorCode::Num);
    std::vector<double> times(flows.size());
    for (size_t t = 0; t < times.size(); ++t)
        times[t] = static_cast<double>(t);
    double r;
    return solveRate([&](double x) { return presentValue(x, flows, times); }, guess, r) ? Value::number(r)
                                                                                        : Value::error(ErrorCode::Num);
}

// XNPV and XIRR: cash flows with their dates, discounted by whole days over 365.
bool datedFlows(FunctionArgs &args, int flowsArg, int datesArg, std::vector<double> &flows, std::vector<double> &years)
{
    std::vector<double> dates;
    if (!args.numbersOf(flowsArg, flows) || !args.numbersOf(datesArg, dates))
        return false;
    if (flows.empty() || flows.size() != dates.size()) {
        args.fail(ErrorCode::Num);
        return false;
    }
    const double first = std::floor(dates.front());
    for (double d : dates) {
        if (std::floor(d) < first || d < 0) {
            args.fail(ErrorCode::Num);
            return false;
        }
        years.push_back((std::floor(d) - first) / 365);
    }
    return true;
}

Value xnpv(FunctionArgs &args)
{
    const double r = args.number(0);
    std::vector<double> flows, years;
    if (args.failed() || !datedFlows(args, 1, 2, flows, years))
        return args.failure();
    if (r <= -1)
        return Value::error(ErrorCode::Num);
    return Value::number(presentValue(r, flows, years));
}

Value xirr(FunctionArgs &args)
{
    std::vector<double> flows, years;
    if (!datedFlows(args, 0, 1, flows, years))
        return args.failure();
    const double guess = args.number(2, 0.1);
    if (args.failed())
        return args.failure();
    if (!hasBothSigns(flows) || guess <= -1)
        return Value::error(ErrorCode::Num);
    double r;
    return solveRate([&](double x) { return presentValue(x, flows, years); }, guess, r) ? Value::number(r)
                                                                                         : Value::error(ErrorCode::Num);
}

// The rate at which outlays financed at one rate grow, with the receipts
// reinvested at another, into the same end value.
Value mirr(FunctionArgs &args)
{
    std::vector<double> flows;
    if (!args.numbersOf(0, flows))
        return args.failure();
    const double financeRate = args.number(1), reinvestRate = args.number(2);
    if (args.failed())
        return args.failure();
    const double n = static_cast<double>(flows.size());
    double outlays = 0, receipts = 0;
    for (size_t t = 0; t < flows.size(); ++t) {
        if (flows[t] < 0)
            outlays += flows[t] / std::pow(1 + financeRate, static_cast<double>(t));
        else
            receipts += flows[t] * std::pow(1 + reinvestRate, n - 1 - static_cast<double>(t));
    }
    if (outlays == 0 || receipts == 0 || n < 2)
        return Value::error(ErrorCode::Div0);
    return Value::number(std::pow(receipts / -outlays, 1 / (n - 1)) - 1);
}

Value fvSchedule(FunctionArgs &args)
{
    double value = args.number(0);
    std::vector<double> rates;
    if (args.failed() || !args.numbersOf(1, rates))
        return args.failure();
    for (double r : rates)
        value *= 1 + r;
    return Value::number(value);
}

Value pDuration(FunctionArgs &args)
{
    const double r = args.number(0), present = args.number(1), future = args.number(2);
    if (args.failed())
        return args.failure();
    if (r <= 0 || present <= 0 || future <= 0)
        return Value::error(ErrorCode::Num);
    return Value::number((std::log(future) - std::log(present)) / std::log1p(r));
}

Value rri(FunctionArgs &args)
{
    const double periods = args.number(0), present = args.number(1), future = args.number(2);
    if (args.failed())
        return args.failure();
    if (periods <= 0 || present == 0)
        return Value::error(ErrorCode::Num);
    return Value::number(std::pow(future / present, 1 / periods) - 1);
}

Value ispmt(FunctionArgs &args)
{
    const double r = args.number(0), period = args.number(1), periods = args.number(2), present = args.number(3);
    if (args.failed())
        return args.failure();
    if (periods == 0)
        return Value::error(ErrorCode::Div0);
    return Value::number(present * r * (period / periods - 1));
}

// DOLLARDE and DOLLARFR: a price written as whole dollars and a count of
// 1/fraction parts after the point, to and from its decimal value.
template <bool ToDecimal>
Value fractionalDollar(FunctionArgs &args)
{
    const double price = args.number(0), fraction = std::trunc(args.number(1));
    if (args.failed())
        return args.failure();
    if (fraction < 0)
        return Value::error(ErrorCode::Num);
    if (fraction == 0)
        return Value::error(ErrorCode::Div0);
    const double whole = std::trunc(price), part = price - whole;
    const double digits = std::pow(10.0, std::ceil(std::log10(fraction)));
    return Value::number(whole + (ToDecimal ? part * digits / fraction : part * fraction / digits));
}

// The interest in payment `pay` number `period`: the balance before the
// payment earns it; paying in advance leaves nothing to earn in the first period.
double interestPart(double r, double period, double present, double pay, double type)
{
    double balance;
    if (type)
        balance = period == 1 ? 0 : futureValue(r, period - 2, pay, present, 1) - pay;
    else
        balance = futureValue(r, period - 1, pay, present, 0);
    return balance * r;
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
    const double interest = interestPart(r, period, present, pay, type);
    return Value::number(Interest ? interest : pay - interest);
}

// CUMIPMT and CUMPRINC: the interest or principal paid from one period to another.
template <bool Interest>
Value cumulativePart(FunctionArgs &args)
{
    const double r = args.number(0), periods = args.number(1), present = args.number(2);
    const double first = std::trunc(args.number(3)), last = std::trunc(args.number(4)), type = args.number(5);
    if (args.failed())
        return args.failure();
    if (r <= 0 || periods <= 0 || present <= 0 || first < 1 || last < first || last > periods || (type != 0 && type != 1))
        return Value::error(ErrorCode::Num);
    if (last - first > 1e6) // a million payments is as far as one cell goes
        return Value::error(ErrorCode::Num);
    const double pay = payment(r, periods, present, 0, type);
    double total = 0;
    for (double period = first; period <= last; ++period) {
        const double interest = interestPart(r, period, present, pay, type);
        total += Interest ? interest : pay - interest;
    }
    return Value::number(total);
}

// ---- depreciation

bool readDepreciation(FunctionArgs &args, double &cost, double &salvage, double &life)
{
    cost = args.number(0);
    salvage = args.number(1);
    life = args.number(2);
    if (args.failed())
        return false;
    if (cost < 0 || salvage < 0 || life <= 0) {
        args.fail(ErrorCode::Num);
        return false;
    }
    return true;
}

// Fixed-declining balance at a rate rounded to three decimals; the first
// and last years count only the months the asset is held.
Value db(FunctionArgs &args)
{
    double cost, salvage, life;
    if (!readDepreciation(args, cost, salvage, life))
        return args.failure();
    const double period = std::trunc(args.number(3)), months = std::trunc(args.number(4, 12));
    if (args.failed())
        return args.failure();
    if (cost == 0)
        return Value::number(0);
    if (period < 1 || months < 1 || months > 12 || period > life + (months < 12 ? 1 : 0) || life > 1e6)
        return Value::error(ErrorCode::Num);
    const double rate = std::round((1 - std::pow(salvage / cost, 1 / life)) * 1000) / 1000;
    double total = 0, depreciation = cost * rate * months / 12;
    for (double p = 2; p <= period; ++p) {
        total += depreciation;
        depreciation = p > life ? (cost - total) * rate * (12 - months) / 12 : (cost - total) * rate;
    }
    return Value::number(depreciation);
}

// Declining balance: a share of the value at the start of a period, never
// taking it below the salvage value.
double decliningStep(double value, double salvage, double rate)
{
    return std::max(0.0, std::min(value * rate, value - salvage));
}

double decliningRate(double life, double factor)
{
    return std::min(1.0, factor / life);
}

double decliningBalance(double cost, double salvage, double life, double period, double factor)
{
    const double rate = decliningRate(life, factor);
    return decliningStep(cost * std::pow(1 - rate, period - 1), salvage, rate);
}

Value ddb(FunctionArgs &args)
{
    double cost, salvage, life;
    if (!readDepreciation(args, cost, salvage, life))
        return args.failure();
    const double period = args.number(3), factor = args.number(4, 2);
    if (args.failed())
        return args.failure();
    if (period <= 0 || period > life || factor <= 0)
        return Value::error(ErrorCode::Num);
    return Value::number(decliningBalance(cost, salvage, life, period, factor));
}

// Depreciation from the start up to `time` (a fraction counts that part of
// its period), declining balance until straight line over the remaining
// life gives more, unless switching is off.
double depreciationUntil(double cost, double salvage, double life, double time, double factor, bool noSwitch)
{
    double total = 0, value = cost, straight = -1;
    const double periods = std::ceil(time);
    for (double i = 1; i <= periods; ++i) {
        double term = decliningStep(value, salvage, decliningRate(life, factor));
        if (!noSwitch && straight < 0 && (value - salvage) / (life - (i - 1)) > term)
            straight = (value - salvage) / (life - (i - 1));
        if (straight >= 0)
            term = straight;
        if (i > time)
            term *= time - (i - 1);
        total += term;
        value -= term;
    }
    return total;
}

Value vdb(FunctionArgs &args)
{
    double cost, salvage, life;
    if (!readDepreciation(args, cost, salvage, life))
        return args.failure();
    const double start = args.number(3), end = args.number(4), factor = args.number(5, 2);
    const bool noSwitch = args.boolean(6, false);
    if (args.failed())
        return args.failure();
    if (start < 0 || end < start || end > life || factor <= 0 || life > 1e6)
        return Value::error(ErrorCode::Num);
    return Value::number(depreciationUntil(cost, salvage, life, end, factor, noSwitch)
                         - depreciationUntil(cost, salvage, life, start, factor, noSwitch));
}

Value syd(FunctionArgs &args)
{
    double cost, salvage, life;
    if (!readDepreciation(args, cost, salvage, life))
        return args.failure();
    const double period = args.number(3);
    if (args.failed())
        return args.failure();
    if (period <= 0 || period > life)
        return Value::error(ErrorCode::Num);
    return Value::number((cost - salvage) * (life - period + 1) * 2 / (life * (life + 1)));
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

// ---- securities paying at maturity or sold at a discount, in a day-count basis

// Arguments `first` and `first + 1` as whole serial dates, the first before
// the second, and the basis (0 to 4) from argument `basisArg`.
bool securityDates(FunctionArgs &args, int first, double &start, double &end, int basisArg, double &basis)
{
    start = std::floor(args.number(first));
    end = std::floor(args.number(first + 1));
    basis = std::trunc(args.number(basisArg, 0));
    if (args.failed())
        return false;
    if (start < 0 || end > 2958465 || start >= end || basis < 0 || basis > 4) {
        args.fail(ErrorCode::Num);
        return false;
    }
    return true;
}

// DISC, INTRATE and YIELDDISC: the gain over the base, per year. DISC's
// base is the redemption, the others' the price paid.
enum class GainBase { Redemption, Price };
template <GainBase Base>
Value gainRate(FunctionArgs &args)
{
    double settlement, maturity, basis;
    const double price = args.number(2), redemption = args.number(3);
    if (args.failed() || !securityDates(args, 0, settlement, maturity, 4, basis))
        return args.failure();
    if (price <= 0 || redemption <= 0)
        return Value::error(ErrorCode::Num);
    const double base = Base == GainBase::Redemption ? redemption : price;
    return Value::number((redemption - price) / base / yearFraction(settlement, maturity, basis));
}

Value received(FunctionArgs &args)
{
    double settlement, maturity, basis;
    const double investment = args.number(2), discount = args.number(3);
    if (args.failed() || !securityDates(args, 0, settlement, maturity, 4, basis))
        return args.failure();
    const double kept = 1 - discount * yearFraction(settlement, maturity, basis);
    if (investment <= 0 || discount <= 0 || kept <= 0)
        return Value::error(ErrorCode::Num);
    return Value::number(investment / kept);
}

Value priceDisc(FunctionArgs &args)
{
    double settlement, maturity, basis;
    const double discount = args.number(2), redemption = args.number(3);
    if (args.failed() || !securityDates(args, 0, settlement, maturity, 4, basis))
        return args.failure();
    if (discount <= 0 || redemption <= 0)
        return Value::error(ErrorCode::Num);
    return Value::number(redemption * (1 - discount * yearFraction(settlement, maturity, basis)));
}

Value accrIntM(FunctionArgs &args)
{
    double issue, settlement, basis;
    const double rate = args.number(2), par = args.number(3, 1000);
    if (args.failed() || !securityDates(args, 0, issue, settlement, 4, basis))
        return args.failure();
    if (rate <= 0 || par <= 0)
        return Value::error(ErrorCode::Num);
    return Value::number(par * rate * yearFraction(issue, settlement, basis));
}

// PRICEMAT and YIELDMAT: a security issued at `issue` that pays its interest
// with the redemption of 100 at maturity.
struct AtMaturity
{
    double issueToMaturity, issueToSettlement, settlementToMaturity; // in years
};

bool readAtMaturity(FunctionArgs &args, AtMaturity &span)
{
    double settlement, maturity, basis;
    if (!securityDates(args, 0, settlement, maturity, 5, basis))
        return false;
    const double issue = std::floor(args.number(2));
    if (args.failed())
        return false;
    if (issue < 0 || issue > settlement) {
        args.fail(ErrorCode::Num);
        return false;
    }
    span = {yearFraction(issue, maturity, basis), yearFraction(issue, settlement, basis),
            yearFraction(settlement, maturity, basis)};
    return true;
}

Value priceMat(FunctionArgs &args)
{
    AtMaturity span;
    const double rate = args.number(3), yield = args.number(4);
    if (args.failed() || !readAtMaturity(args, span))
        return args.failure();
    if (rate < 0 || yield < 0)
        return Value::error(ErrorCode::Num);
    return Value::number((100 + span.issueToMaturity * rate * 100) / (1 + span.settlementToMaturity * yield)
                         - span.issueToSettlement * rate * 100);
}

Value yieldMat(FunctionArgs &args)
{
    AtMaturity span;
    const double rate = args.number(3), price = args.number(4);
    if (args.failed() || !readAtMaturity(args, span))
        return args.failure();
    if (rate < 0 || price <= 0)
        return Value::error(ErrorCode::Num);
    const double paid = price / 100 + span.issueToSettlement * rate;
    return Value::number(((1 + span.issueToMaturity * rate) - paid) / paid / span.settlementToMaturity);
}

// ---- bonds paying coupons `frequency` times a year, the last with the redemption

// The coupon schedule around a settlement date: coupons fall on the
// maturity date and every 12 / frequency months before it (at month ends
// when maturity is one).
struct Coupons
{
    double settlement = 0, maturity = 0, frequency = 0, basis = 0;
    double previous = 0, next = 0; // the coupon dates on or before and after settlement
    double remaining = 0;          // coupons from next to maturity
};

double couponDate(const CivilDate &maturity, bool monthEnd, long long monthsBefore)
{
    const long long months = maturity.year * 12 + (maturity.month - 1) - monthsBefore;
    const long long year = months / 12, month = months % 12 + 1;
    const double monthLength = dateSerial(year, month + 1, 1) - dateSerial(year, month, 1);
    const double day = monthEnd ? monthLength : std::min<double>(maturity.day, monthLength);
    return dateSerial(year, month, static_cast<long long>(day));
}

bool readCoupons(FunctionArgs &args, int frequencyArg, int basisArg, Coupons &c)
{
    if (!securityDates(args, 0, c.settlement, c.maturity, basisArg, c.basis))
        return false;
    c.frequency = std::trunc(args.number(frequencyArg));
    if (args.failed())
        return false;
    if (c.frequency != 1 && c.frequency != 2 && c.frequency != 4) {
        args.fail(ErrorCode::Num);
        return false;
    }
    const CivilDate maturity = civilDate(c.maturity);
    const bool monthEnd = maturity.day == dateSerial(maturity.year, maturity.month + 1, 1) - dateSerial(maturity.year, maturity.month, 1);
    const long long step = 12 / static_cast<long long>(c.frequency);
    // Whole periods back from maturity until a coupon date is not after settlement.
    long long periods = static_cast<long long>((c.maturity - c.settlement) / 366 * c.frequency);
    while (periods > 0 && couponDate(maturity, monthEnd, periods * step) > c.settlement)
        --periods;
    while (couponDate(maturity, monthEnd, periods * step) > c.settlement)
        ++periods;
    c.previous = couponDate(maturity, monthEnd, periods * step);
    c.next = couponDate(maturity, monthEnd, (periods - 1) * step);
    c.remaining = static_cast<double>(periods);
    return true;
}

// Days from the previous coupon to settlement, in the coupon period, and
// from settlement to the next coupon, counted in the basis.
double daysSincePrevious(const Coupons &c)
{
    if (c.basis == 0 || c.basis == 4)
        return days360Between(c.previous, c.settlement, c.basis == 4);
    return c.settlement - c.previous;
}

double daysInPeriod(const Coupons &c)
{
    if (c.basis == 1)
        return c.next - c.previous;
    return (c.basis == 3 ? 365 : 360) / c.frequency;
}

double daysToNext(const Coupons &c)
{
    if (c.basis == 0)
        return daysInPeriod(c) - daysSincePrevious(c);
    if (c.basis == 4)
        return days360Between(c.settlement, c.next, true);
    return c.next - c.settlement;
}

enum class CouponPart { DaysBefore, Days, DaysAfter, Next, Count, Previous };
template <CouponPart Part>
Value couponFunction(FunctionArgs &args)
{
    Coupons c;
    if (!readCoupons(args, 2, 3, c))
        return args.failure();
    switch (Part) {
    case CouponPart::DaysBefore:
        return Value::number(daysSincePrevious(c));
    case CouponPart::Days:
        return Value::number(daysInPeriod(c));
    case CouponPart::DaysAfter:
        return Value::number(daysToNext(c));
    case CouponPart::Next:
        return Value::number(c.next);
    case CouponPart::Count:
        return Value::number(c.remaining);
    case CouponPart::Previous:
        return Value::number(c.previous);
    }
    return Value();
}

// The clean price per 100 of a bond at a yield: its coupons and redemption
// discounted over the (fractional) periods to each, less the interest
// accrued since the previous coupon.
double bondPrice(const Coupons &c, double rate, double yield, double redemption)
{
    const double coupon = 100 * rate / c.frequency;
    const double e = daysInPeriod(c), a = daysSincePrevious(c), dsc = daysToNext(c);
    const double accrued = coupon * a / e;
    if (c.remaining == 1)
        return (redemption + coupon) / (1 + dsc / e * yield / c.frequency) - accrued;
    const double base = 1 + yield / c.frequency;
    double price = redemption / std::pow(base, c.remaining - 1 + dsc / e);
    for (double k = 1; k <= c.remaining; ++k)
        price += coupon / std::pow(base, k - 1 + dsc / e);
    return price - accrued;
}

bool readBond(FunctionArgs &args, Coupons &c, double &rate, double &second, double &redemption)
{
    rate = args.number(2);
    second = args.number(3);
    redemption = args.number(4);
    if (args.failed() || !readCoupons(args, 5, 6, c))
        return false;
    if (rate < 0 || second < 0 || redemption <= 0 || c.remaining > 1e5) {
        args.fail(ErrorCode::Num);
        return false;
    }
    return true;
}

Value price(FunctionArgs &args)
{
    Coupons c;
    double rate, yield, redemption;
    if (!readBond(args, c, rate, yield, redemption))
        return args.failure();
    return Value::number(bondPrice(c, rate, yield, redemption));
}

// YIELD: the yield at which the bond's price is the one given.
Value yieldFunction(FunctionArgs &args)
{
    Coupons c;
    double rate, price, redemption;
    if (!readBond(args, c, rate, price, redemption))
        return args.failure();
    if (price <= 0)
        return Value::error(ErrorCode::Num);
    double yield;
    if (!solveRate([&](double y) { return bondPrice(c, rate, y, redemption) - price; }, rate, yield))
        return Value::error(ErrorCode::Num);
    return Value::number(yield);
}

// DURATION (Macaulay, in years) and MDURATION (modified): the mean time to
// the payments weighted by their present values.
template <bool Modified>
Value duration(FunctionArgs &args)
{
    Coupons c;
    double coupon, yield;
    // The arguments are settlement, maturity, coupon, yield, frequency and basis.
    coupon = args.number(2);
    yield = args.number(3);
    if (args.failed() || !readCoupons(args, 4, 5, c))
        return args.failure();
    if (coupon < 0 || yield < 0 || c.remaining > 1e5)
        return Value::error(ErrorCode::Num);
    const double e = daysInPeriod(c), dsc = daysToNext(c);
    const double base = 1 + yield / c.frequency, payment = 100 * coupon / c.frequency;
    double weighted = 0, total = 0;
    for (double k = 1; k <= c.remaining; ++k) {
        const double time = k - 1 + dsc / e; // in periods
        const double cash = payment + (k == c.remaining ? 100 : 0);
        const double present = cash / std::pow(base, time);
        weighted += time * present;
        total += present;
    }
    const double years = weighted / total / c.frequency;
    return Value::number(Modified ? years / base : years);
}

// ---- Treasury bills: discounts and yields over the days to maturity on a 360-day year

// The days from settlement to maturity, which must be more than none and at most a year.
bool billDays(FunctionArgs &args, double &days)
{
    const double settlement = std::floor(args.number(0)), maturity = std::floor(args.number(1));
    if (args.failed())
        return false;
    if (settlement < 0 || maturity > 2958465) {
        args.fail(ErrorCode::Num);
        return false;
    }
    const CivilDate start = civilDate(settlement);
    if (maturity <= settlement || maturity > dateSerial(start.year + 1, start.month, start.day)) {
        args.fail(ErrorCode::Num);
        return false;
    }
    days = maturity - settlement;
    return true;
}

Value tBillPrice(FunctionArgs &args)
{
    double days;
    const double discount = args.number(2);
    if (args.failed() || !billDays(args, days))
        return args.failure();
    if (discount <= 0)
        return Value::error(ErrorCode::Num);
    const double price = 100 * (1 - discount * days / 360);
    return price <= 0 ? Value::error(ErrorCode::Num) : Value::number(price);
}

Value tBillYield(FunctionArgs &args)
{
    double days;
    const double price = args.number(2);
    if (args.failed() || !billDays(args, days))
        return args.failure();
    if (price <= 0)
        return Value::error(ErrorCode::Num);
    return Value::number((100 - price) / price * 360 / days);
}

// The bond-equivalent yield: simple interest on a 365-day year up to half a
// year, beyond that the yield of a bond paying one coupon before maturity.
Value tBillEq(FunctionArgs &args)
{
    double days;
    const double discount = args.number(2);
    if (args.failed() || !billDays(args, days))
        return args.failure();
    if (discount <= 0)
        return Value::error(ErrorCode::Num);
    const double price = 100 * (1 - discount * days / 360);
    if (price <= 0)
        return Value::error(ErrorCode::Num);
    if (days <= 182)
        return Value::number(365 * discount / (360 - discount * days));
    const double t = days / 365;
    return Value::number((-t + std::sqrt(t * t - (2 * t - 1) * (1 - 100 / price))) / (t - 0.5));
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
        {"CUMIPMT", 6, 6, "n", cumulativePart<true>},
        {"CUMPRINC", 6, 6, "n", cumulativePart<false>},
        {"DB", 4, 5, "n", db},
        {"DDB", 4, 5, "n", ddb},
        {"DOLLARDE", 2, 2, "n", fractionalDollar<true>},
        {"DOLLARFR", 2, 2, "n", fractionalDollar<false>},
        {"FVSCHEDULE", 2, 2, "nr", fvSchedule},
        {"ISPMT", 4, 4, "n", ispmt},
        {"MIRR", 3, 3, "rnn", mirr},
        {"PDURATION", 3, 3, "n", pDuration},
        {"RRI", 3, 3, "n", rri},
        {"SYD", 4, 4, "n", syd},
        {"VDB", 5, 7, "nnnnnnb", vdb},
        {"XIRR", 2, 3, "rrn", xirr},
        {"XNPV", 3, 3, "nrr", xnpv},
        {"ACCRINTM", 3, 5, "n", accrIntM},
        {"COUPDAYBS", 3, 4, "n", couponFunction<CouponPart::DaysBefore>},
        {"COUPDAYS", 3, 4, "n", couponFunction<CouponPart::Days>},
        {"COUPDAYSNC", 3, 4, "n", couponFunction<CouponPart::DaysAfter>},
        {"COUPNCD", 3, 4, "n", couponFunction<CouponPart::Next>},
        {"COUPNUM", 3, 4, "n", couponFunction<CouponPart::Count>},
        {"COUPPCD", 3, 4, "n", couponFunction<CouponPart::Previous>},
        {"DURATION", 5, 6, "n", duration<false>},
        {"MDURATION", 5, 6, "n", duration<true>},
        {"PRICE", 6, 7, "n", price},
        {"YIELD", 6, 7, "n", yieldFunction},
        {"DISC", 4, 5, "n", gainRate<GainBase::Redemption>},
        {"INTRATE", 4, 5, "n", gainRate<GainBase::Price>},
        {"PRICEDISC", 4, 5, "n", priceDisc},
        {"PRICEMAT", 5, 6, "n", priceMat},
        {"RECEIVED", 4, 5, "n", received},
        {"YIELDDISC", 4, 5, "n", gainRate<GainBase::Price>},
        {"YIELDMAT", 5, 6, "n", yieldMat},
        {"TBILLEQ", 3, 3, "n", tBillEq},
        {"TBILLPRICE", 3, 3, "n", tBillPrice},
        {"TBILLYIELD", 3, 3, "n", tBillYield},
    };
    return functions;
}

} // namespace workbook::functions
