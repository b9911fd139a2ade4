#pragma once

#include <QElapsedTimer>

// When a long result table is worth updating. Every insertion of rows makes the view lay out
// and paint the table again, and fitting the columns measures a thousand rows of each; at
// hundreds of thousands of rows that costs more than building the rows. A short table is
// updated at every chance; a long one gets new rows at most 25 times a second and its
// columns fitted at most twice a second, which nobody can tell from more.
class DisplayPacing
{
public:
    static constexpr int shortTableRows = 10000;
    static constexpr int insertionIntervalMs = 40;
    static constexpr int fitIntervalMs = 500;

    bool insertionDue(int tableRows) const { return due(tableRows, lastInsertion, insertionIntervalMs); }
    void inserted() { lastInsertion.start(); }
    bool fitDue(int tableRows) const { return due(tableRows, lastFit, fitIntervalMs); }
    void fitted() { lastFit.start(); }
    // Milliseconds until a fit is due (0 when it is).
    int msUntilFitDue(int tableRows) const;

private:
    static bool due(int tableRows, const QElapsedTimer &last, int intervalMs)
    {
        return tableRows < shortTableRows || !last.isValid() || last.elapsed() >= intervalMs;
    }

    QElapsedTimer lastInsertion;
    QElapsedTimer lastFit;
};
