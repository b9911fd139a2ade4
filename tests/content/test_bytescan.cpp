// The vector scans against plain loops, on random data of every kind and length.

#include "content/bytepattern.h"
#include "content/bytescan.h"

#include <QTest>

#include <algorithm>
#include <random>

namespace {

std::vector<unsigned char> randomData(std::mt19937 &random, size_t size, int kind)
{
    std::vector<unsigned char> d(size);
    for (auto &b : d) {
        const unsigned r = random();
        b = kind % 4 == 0   ? (unsigned char)r
            : kind % 4 == 1 ? (unsigned char)"aAbB\0\n+~\x80\xff"[r % 10]
            : kind % 4 == 2 ? (unsigned char)(r % 4 ? 'a' + r % 3 : r >> 8)
                            : (unsigned char)(r % 97 ? 0x20 + (r >> 8) % 0x5f : r >> 8);   // mostly plain text
    }
    return d;
}

ByteSet randomClass(std::mt19937 &random)
{
    ByteSet set;
    const unsigned c = 'a' + random() % 3;
    switch (random() % 5) {
    case 0: set.set("aAbB\0\n+~\x80\xff"[random() % 10] & 0xff); break;
    case 1: set.set(c); set.set(c ^ 0x20); break;
    case 2: for (unsigned b = 0x80; b < 0x100; ++b) set.set(b); break;
    case 3: for (int k = 0; k < 3; ++k) set.set(random() % 256); break;
    default: for (int k = 0; k < 40; ++k) set.set(random() % 256); break;
    }
    return set;
}

} // namespace

class ByteScanTest : public QObject
{
    Q_OBJECT

private slots:
    void scansFindWhatALoopFinds()
    {
        std::mt19937 random(31);
        for (int round = 0; round < 4000; ++round) {
            const auto data = randomData(random, random() % 700, round);
            std::vector<ByteSet> classes(1 + random() % 6);
            for (ByteSet &set : classes)
                set = randomClass(random);
            if (round % 50 == 0)
                classes.push_back(ByteSet());   // never matches
            const size_t from = random() % (data.size() + 1);
            const size_t to = from + random() % (data.size() + 2 - from);
            std::vector<size_t> found, expected;
            BytePattern(classes).findAll(data.data(), data.size(), from, to, found);
            for (size_t p = from; p < to && p + classes.size() <= data.size(); ++p) {
                bool all = true;
                for (size_t i = 0; i < classes.size(); ++i)
                    all = all && classes[i][data[p + i]];
                if (all)
                    expected.push_back(p);
            }
            QCOMPARE(found, expected);

            unsigned categories = 0;
            for (unsigned c = 1; c <= bytecategory::All; c <<= 1) {
                const ByteSet set = bytecategory::bytesOf(c);
                for (const unsigned char b : data)
                    categories |= set[b] ? c : 0;
            }
            QCOMPARE(bytecategory::present(data.data(), data.size()), categories);

            const unsigned char value = "a\n+\x80"[round % 4];
            const auto first = std::find(data.begin(), data.end(), value);
            const auto last = std::find(data.rbegin(), data.rend(), value);
            QCOMPARE(bytescan::count(data.data(), data.size(), value), size_t(std::count(data.begin(), data.end(), value)));
            QCOMPARE(bytescan::find(data.data(), data.size(), value), first == data.end() ? -1 : first - data.begin());
            QCOMPARE(bytescan::findLast(data.data(), data.size(), value), last == data.rend() ? -1 : data.rend() - last - 1);

            std::vector<char16_t> units(data.size() / 2);
            for (size_t i = 0; i < units.size(); ++i)
                units[i] = char16_t(data[2 * i] | (round % 3 ? 0 : data[2 * i + 1] << 8));
            const auto lastUnit = std::find(units.rbegin(), units.rend(), char16_t(value));
            std::ptrdiff_t lastFound = -2;
            QCOMPARE(bytescan::countUnits(units.data(), units.size(), value, lastFound),
                     size_t(std::count(units.begin(), units.end(), char16_t(value))));
            QCOMPARE(lastFound, lastUnit == units.rend() ? -1 : units.rend() - lastUnit - 1);
        }
    }
};

QTEST_GUILESS_MAIN(ByteScanTest)
#include "test_bytescan.moc"
