// The benchmark program: prints one table per case. Run by tools/bench.sh.
// usage: kelvara_bench [runs [cases]]
//   runs   runs of each measurement, 5 by default
//   cases  the cases to run, as digits ("13": the first and the third); all by default
#include "bench.h"
#include <objbase.h>
#include <commctrl.h>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    int runs = argc > 1 ? atoi(argv[1]) : 5;
    if (runs < 1)
        runs = 1;
    std::string cases = argc > 2 ? argv[2] : "1234";
    auto wanted = [&](char c) { return cases.find(c) != std::string::npos; };
    CoInitialize(nullptr);
    InitCommonControls();
    printf("Kelvara benchmark: median of %d runs of each case and of its floor (the same work done by the\n"
           "plainest code); ratio = case / floor. Code page %u.\n", runs, GetACP());
    fflush(stdout);
    bool ok = true;
    if (wanted('1'))
        ok = RunIconLocationBench(runs) && ok;
    if (wanted('2'))
        ok = RunTouchBench(runs) && ok;
    if (wanted('3'))
        ok = RunIconsOpenBench(runs) && ok;
    if (wanted('4'))
        ok = RunDeliverableSizes() && ok;
    printf("\ntargets met: %d, missed: %d%s\n", targetsMet, targetsMissed,
           ok ? "" : " (a case could not be measured as meant; see the notes)");
    CoUninitialize();
    return ok ? 0 : 1;
}
