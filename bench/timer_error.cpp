// SPDX-License-Identifier: MIT
// Prints how late the program's timer fires against its interval, for the intervals given on the
// command line (milliseconds; default 1001 and 5001), a few times each.

#include "Widgets.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::vector<int> intervals;
    for (int i = 1; i < argc; ++i)
        intervals.push_back(std::atoi(argv[i]));
    if (intervals.empty())
        intervals = {1001, 5001};
    const int rounds = 3;

    std::printf("%-10s %-8s %s\n", "interval", "rounds", "error ms (each round)");
    for (int interval : intervals) {
        std::printf("%-10d %-8d", interval, rounds);
        double worst = 0;
        for (int r = 0; r < rounds; ++r) {
            quill::TimerObject timer(nullptr);
            QEventLoop loop;
            QElapsedTimer clock;
            qint64 firedNs = 0;
            QObject::connect(&timer, &quill::TimerObject::timeout, [&] {
                firedNs = clock.nsecsElapsed();
                timer.stop();
                loop.quit();
            });
            timer.setInterval(interval);
            clock.start();
            timer.setEnabled(true);
            loop.exec();
            const double error = (firedNs - qint64(interval) * 1'000'000) / 1e6;
            worst = std::max(worst, std::abs(error));
            std::printf(" %+.3f", error);
        }
        std::printf("   worst %.3f\n", worst);
    }
    return 0;
}
