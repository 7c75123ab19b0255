#pragma once
// Shared by the benchmarks without audio: clocks, medians and an X server of their own.

#include <QString>
#include <cstdint>
#include <vector>

int64_t NowNs();
void SleepMs(int ms);
double Median(std::vector<double> values);  // 0 for none

// Starts Xvfb (1280 x 1024) on a free display number and returns ":N"; it is ended by StopXvfb
// or at exit. Exits the program when it cannot start.
QString StartXvfb();
void StopXvfb();
