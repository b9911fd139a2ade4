// The vector scans against plain loops.

#include "content/bytepattern.h"
#include "content/bytescan.h"

#include <QTest>

#include <random>

class ByteScanTest : public QObject
{
    Q_OBJECT

private slots:
    void patternsFindWhatALoopFinds();
    void categoriesAreThoseOfTheBytes();
    void countsAndFinds();
};

namespace {

std::vector<unsigned char> randomData(std::mt19937 &random, size_t size, int kind)
{
    std::vector<unsigned char> d(size);
    for (auto &b : d) {
        const unsigned r = random();
        switch (kind % 3) {
        case 0: b = (unsigned char)r; break;
        case 1: b = (unsigned char)"aAbB\0\n+~\x80\xff"[r % 10]; break;
        default: b = (unsigned char)(r % 4 ? 'a' + r % 3 : r >> 8); break;
        }
    }
    return d;
}

ByteSet randomClass(std::mt19937 &random)
{
    ByteSet set;
    switch (random() % 5) {
    case 0: set.set("aAbB\0\n+~\x80\xff"[random() % 10] & 0xff); break;
    case 1: { const unsigned c = 'a' + random() % 3; set.set(c); set.set(c ^ 0x20); break; }
    case 2: for (unsigned b = 0x80; b < 0x100; ++b) set.set(b); break;
    case 3: for (int k = 0; k < 3; ++k) set.set(random() % 256); break;
    default: for (int k = 0; k < 40; ++k) set.set(random() % 256); break;
    }
    return set;
}

} // namespace

void ByteScanTest::patternsFindWhatALoopFinds()
{
    std::mt19937 random(31);
    for (int round = 0; round < 3000; ++round) {
        const auto data = randomData(random, 1 + random() % 700, round);
        std::vector<ByteSet> classes;
        const size_t length = 1 + random() % 6;
        for (size_t i = 0; i < length; ++i)
            classes.push_back(randomClass(random));
        if (round % 50 == 0)
            classes.push_back(ByteSet());   // never matches
        const BytePattern pattern(classes);
        const size_t from = random() % (data.size() + 1);
        const size_t to = from + random() % (data.size() + 2 - from);
        std::vector<size_t> found;
        pattern.findAll(data.data(), data.size(), from, to, found);
        std::vector<size_t> expected;
        for (size_t p = from; p < to && p + classes.size() <= data.size(); ++p) {
            bool all = true;
            for (size_t i = 0; i < classes.size(); ++i)
                all = all && classes[i][data[p + i]];
            if (all)
                expected.push_back(p);
        }
        QCOMPARE(found, expected);
    }
}

void ByteScanTest::categoriesAreThoseOfTheBytes()
{
    std::mt19937 random(37);
    for (int round = 0; round < 3000; ++round) {
        auto data = randomData(random, random() % 300, round);
        if (round % 3 == 0)
            for (auto &b : data)
                b = (unsigned char)(0x20 + random() % 0x5f);   // mostly plain text
        if (round % 3 == 0 && !data.empty())
            data[random() % data.size()] = (unsigned char)(random() % 256);
        unsigned expected = 0;
        for (unsigned c = 1; c <= bytecategory::All; c <<= 1) {
            const ByteSet set = bytecategory::bytesOf(c);
            for (const unsigned char b : data) {
                if (set[b])
                    expected |= c;
            }
        }
        QCOMPARE(bytecategory::present(data.data(), data.size()), expected);
    }
}

void ByteScanTest::countsAndFinds()
{
    std::mt19937 random(41);
    for (int round = 0; round < 2000; ++round) {
        const auto data = randomData(random, random() % 500, round);
        const unsigned char value = "a\n+\x80"[round % 4];
        size_t count = 0;
        std::ptrdiff_t first = -1, last = -1;
        for (size_t i = 0; i < data.size(); ++i) {
            if (data[i] == value) {
                ++count;
                if (first < 0)
                    first = std::ptrdiff_t(i);
                last = std::ptrdiff_t(i);
            }
        }
        QCOMPARE(bytescan::count(data.data(), data.size(), value), count);
        QCOMPARE(bytescan::find(data.data(), data.size(), value), first);
        QCOMPARE(bytescan::findLast(data.data(), data.size(), value), last);
    }
}

QTEST_GUILESS_MAIN(ByteScanTest)
#include "test_bytescan.moc"
