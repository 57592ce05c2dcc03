#pragma once

namespace workbook::functions {

// Serial dates of the 1900 date system: 1 is 1 January 1900, and the
// spreadsheet's 29 February 1900 is 60.
struct CivilDate
{
    long long year;
    int month;
    int day;
};

double dateSerial(long long year, long long month, long long day);
CivilDate civilDate(double serial);

// The fraction of a year between two whole serial dates in a day-count
// basis: 0 US 30/360, 1 actual/actual, 2 actual/360, 3 actual/365,
// 4 European 30/360. NaN for any other basis.
double yearFraction(double start, double end, double basis);

// DAYS360 between two serial dates: the US (NASD) rule or the European one.
double days360Between(double start, double end, bool european);

} // namespace workbook::functions
