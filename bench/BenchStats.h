// Summaries of timings, and the rows of the markdown table every benchmark prints.
#pragma once

#include <chrono>
#include <string>
#include <vector>

using BenchClock = std::chrono::steady_clock;

// Milliseconds of a duration, with the fraction.
inline double Milliseconds(BenchClock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

// Nearest-rank percentile, 0 < percent <= 100; 0 when there are no values.
double Percentile(std::vector<double> values, double percent);
// The middle value, or the mean of the two middle ones; 0 when there are no values.
double Median(std::vector<double> values);
double Maximum(const std::vector<double>& values);

// A number with a fixed count of decimals, as the table shows it.
std::string Fixed(double value, int decimals);

// One line of the results table. `met` is "yes", "no", or "-" where there is no target.
struct ResultRow {
    std::string what;
    std::string quillon;
    std::string reference;
    std::string comparison;
    std::string target;
    std::string met;
};

std::string Met(bool met);
void PrintRow(const ResultRow& row);

// Runs a benchmark's `run`; a socket that cannot be bound or a display that cannot be reached
// ends it with the reason on standard error and exit status 1.
int RunReportingErrors(const char* name, int (*run)(int, char**), int argc, char** argv);
