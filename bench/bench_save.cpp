// Times the save at close for lists of 100, 1,000 and 5,000 combinations: the document
// from KeyConfigSet::xml(), its bytes from KeyMapFormat::encode(), and the atomic
// replacement of the file by KeyMapFile::write(). The growth between the sizes shows
// whether the cost is linear in the number of combinations.
#include "benchutil.h"

#include "editor/keyconfigset.h"
#include "mapping/keymapfile.h"
#include "mapping/keymapformat.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct Row
{
    int combinations;
    double xmlMs;
    double writeMs; // encode and write
    double totalMs;
    qsizetype bytes;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString path = dir.filePath(QStringLiteral("hardware-keyboard.xml"));

    std::vector<Row> rows;
    for (int combinations : { 100, 1000, 5000 }) {
        KeyConfigSet set(benchCombinations(combinations));
        std::vector<double> xmlMs, writeMs, totalMs;
        qsizetype bytes = 0;
        QElapsedTimer timer;
        for (int round = 0; round < rounds; ++round) {
            timer.start();
            const QString document = set.xml();
            const qint64 built = timer.nsecsElapsed();
            const QByteArray content = KeyMapFormat::encode(document);
            QString error;
            if (!KeyMapFile::write(path, content, &error)) {
                std::fprintf(stderr, "write failed: %s\n", qPrintable(error));
                return 1;
            }
            const qint64 total = timer.nsecsElapsed();
            xmlMs.push_back(built / 1e6);
            writeMs.push_back((total - built) / 1e6);
            totalMs.push_back(total / 1e6);
            bytes = content.size();
        }
        rows.push_back({ combinations, median(xmlMs), median(writeMs), median(totalMs), bytes });
    }

    std::printf("\n== 3. Save: xml() + encode + atomic write (median of %d rounds) ==\n", rounds);
    std::printf("%-13s %10s %10s %16s %10s %8s %8s\n", "combinations", "bytes", "xml() ms",
                "encode+write ms", "total ms", "growth", "xml() g.");
    for (size_t i = 0; i < rows.size(); ++i) {
        const Row &r = rows[i];
        std::printf("%-13d %10lld %10.3f %16.3f %10.3f", r.combinations,
                    static_cast<long long>(r.bytes), r.xmlMs, r.writeMs, r.totalMs);
        if (i == 0)
            std::printf(" %8s %8s\n", "-", "-");
        else
            std::printf(" %7.1fx %7.1fx\n", r.totalMs / rows[i - 1].totalMs,
                        r.xmlMs / rows[i - 1].xmlMs);
    }
    std::printf("target: from 100 to 1000 combinations (10x) the save grows at most 12x\n");
    return 0;
}
