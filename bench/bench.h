// What the benchmark cases share: timing by medians of repeated runs, and the
// table every case prints.
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

// Seconds since an arbitrary start, from the performance counter.
double Now();

// Median seconds of runs of work and of floor, run alternately so that a slow
// phase of the machine weighs on both alike.
struct Pair {
    double work;
    double floor;
};
Pair MeasurePair(int runs, const std::function<void()>& work, const std::function<void()>& floor);
double MeasureMedian(int runs, const std::function<void()>& work);

// One line of a table: the case, the work's median per unit, the floor's, their
// ratio, the target ratio (0 = none) and whether it is met.
struct Row {
    std::string name;
    double perUnit;       // seconds
    double floorPerUnit;  // seconds, 0 when the row has no floor
    double target;        // largest ratio allowed, 0 when the row has no target
    std::string unit;     // "call", "file", "open"
};
void PrintTable(const std::string& title, const std::vector<Row>& rows);
// A line below a table: a figure that is not a ratio to a floor, with its verdict.
void PrintCheck(const std::string& text, bool met);

// The benchmark cases; false when a case could not be set up (the reason printed).
bool RunIconLocationBench(int runs);
bool RunTouchBench(int runs);
bool RunIconsOpenBench(int runs);
bool RunDeliverableSizes();

// Counts of targets met and missed over all tables.
extern int targetsMet;
extern int targetsMissed;
