#pragma once

// The values of a stepped range: origin + n x step for whole n, computed in
// decimal with the places the origin and the step carry in their shortest
// writing (0.3 and 0.1 carry one), so 437 steps of 0.1 make 43.7, never
// 43.70000000000001. A slider writes these values into cells, so they must be
// the numbers it shows.
class StepGrid
{
public:
    StepGrid(double origin, double step);

    // The value n steps from the origin; n is a whole number.
    double at(double n) const;
    // The number of steps to the grid value nearest x (halves upward).
    double stepsTo(double x) const;
    double snap(double x) const { return at(stepsTo(x)); }

    // Decimal places of the shortest text that reads back as x: 0.1 has 1,
    // 2.5e-07 has 8, 300 and 1e+20 have none.
    static int decimalPlaces(double x);

private:
    double m_origin;
    double m_step;
    // The origin and the step as whole numbers of units of their last decimal
    // place, when both are exact that way.
    bool m_decimal = false;
    double m_unitsPerOne = 1;
    double m_originUnits = 0;
    double m_stepUnits = 0;
};
