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

} // namespace workbook::functions
