// Medians, percentiles and table rows for the benchmarks.
#include "BenchStats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>

double Percentile(std::vector<double> values, double percent)
{
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    // Nearest rank: the smallest value that at least `percent` % of the values do not exceed.
    const auto rank = static_cast<std::size_t>(std::ceil(percent / 100.0 * static_cast<double>(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

double Median(std::vector<double> values)
{
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

double Maximum(const std::vector<double>& values)
{
    return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

std::string Fixed(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string Met(bool met)
{
    return met ? "yes" : "**no**";
}

void PrintRow(const ResultRow& row)
{
    std::printf("| %s | %s | %s | %s | %s | %s |\n", row.what.c_str(), row.quillon.c_str(), row.reference.c_str(),
                row.comparison.c_str(), row.target.c_str(), row.met.c_str());
    std::fflush(stdout);
}

int RunReportingErrors(const char* name, int (*run)(int, char**), int argc, char** argv)
{
    try {
        return run(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", name, error.what());
        return 1;
    }
}
