// Medians of repeated runs and the printed tables.
#include "bench.h"
#include <algorithm>
#include <cstdio>

int targetsMet = 0;
int targetsMissed = 0;

double Now()
{
    static LARGE_INTEGER frequency = {};
    if (!frequency.QuadPart)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

namespace {

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double TimeOnce(const std::function<void()>& work)
{
    double start = Now();
    work();
    return Now() - start;
}

std::string Duration(double seconds)
{
    char text[32];
    if (seconds >= 1)
        snprintf(text, sizeof text, "%.2f s", seconds);
    else if (seconds >= 1e-3)
        snprintf(text, sizeof text, "%.2f ms", seconds * 1e3);
    else
        snprintf(text, sizeof text, "%.1f us", seconds * 1e6);
    return text;
}

}  // namespace

Pair MeasurePair(int runs, const std::function<void()>& work, const std::function<void()>& floor)
{
    std::vector<double> works, floors;
    for (int i = 0; i < runs; ++i) {
        works.push_back(TimeOnce(work));
        floors.push_back(TimeOnce(floor));
    }
    return {Median(works), Median(floors)};
}

double MeasureMedian(int runs, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(TimeOnce(work));
    return Median(times);
}

void PrintTable(const std::string& title, const std::vector<Row>& rows)
{
    printf("\n%s\n", title.c_str());
    printf("  %-44s %16s %12s %8s %8s\n", "case", "median", "floor", "ratio", "target");
    for (const Row& row : rows) {
        std::string per = Duration(row.perUnit) + "/" + row.unit;
        std::string floor = row.floorPerUnit > 0 ? Duration(row.floorPerUnit) : "-";
        char ratio[16] = "-", target[16] = "-";
        const char* verdict = "";
        if (row.floorPerUnit > 0)
            snprintf(ratio, sizeof ratio, "%.2f", row.perUnit / row.floorPerUnit);
        if (row.target > 0) {
            snprintf(target, sizeof target, "%.2f", row.target);
            bool met = row.perUnit / row.floorPerUnit <= row.target;
            verdict = met ? "met" : "MISSED";
            ++(met ? targetsMet : targetsMissed);
        }
        printf("  %-44s %16s %12s %8s %8s  %s\n", row.name.c_str(), per.c_str(), floor.c_str(), ratio, target,
               verdict);
    }
    fflush(stdout);
}

void PrintCheck(const std::string& text, bool met)
{
    printf("  %-94s  %s\n", text.c_str(), met ? "met" : "MISSED");
    ++(met ? targetsMet : targetsMissed);
    fflush(stdout);
}
