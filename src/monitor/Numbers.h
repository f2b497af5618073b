// Numbers as the monitor and the benchmarks print them: fixed decimals, floats in their shortest
// exact form, and nearest-rank percentiles. Independent of the C locale.
#pragma once

#include <string>
#include <vector>

// `decimals` digits after the point: Fixed(0.25, 1) is "0.2" (round half to even, as printf).
std::string Fixed(double value, int decimals);

// The shortest text that reads back as the same float, always with a point or exponent: "0.75",
// "1.0", "1e-05"; "inf", "-inf", "nan".
std::string FloatText(float value);

// Nearest rank: the smallest value with at least `percent` % of the values at or below it
// (0 < percent <= 100); 0 when there are none.
double Percentile(std::vector<double> values, double percent);
