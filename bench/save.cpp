// Table 3 (docs/performance.md): does the save at close grow linearly with the list?
#include "bench.h"

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QList<QByteArrayList> rows{ { "combinations", "bytes", "xml() ms", "encode+write ms",
                                  "total ms", "growth", "xml() g." } };
    const auto growth = [](double now, double last) {
        return last > 0 ? QByteArray::number(now / last, 'f', 1) + 'x' : QByteArray("-");
    };
    double lastXml = 0, lastTotal = 0;
    for (int count : { 100, 1000, 5000 }) {
        KeyConfigSet set(benchCombinations(count));
        QList<double> xmlMs, writeMs, totalMs;
        QByteArray content;
        QElapsedTimer timer;
        for (int round = 0; round < 21; ++round) {
            timer.start();
            const QString document = set.xml();
            const qint64 built = timer.nsecsElapsed();
            content = KeyMapFormat::encode(document);
            if (!KeyMapFile::write(dir.filePath(QStringLiteral("keys.xml")), content, nullptr))
                return 1;
            xmlMs.push_back(built / 1e6);
            writeMs.push_back((timer.nsecsElapsed() - built) / 1e6);
            totalMs.push_back(timer.nsecsElapsed() / 1e6);
        }
        rows.append({ QByteArray::number(count), QByteArray::number(content.size()),
                      figure(xmlMs, 0.5, 3), figure(writeMs, 0.5, 3), figure(totalMs, 0.5, 3),
                      growth(percentile(totalMs), lastTotal), growth(percentile(xmlMs), lastXml) });
        lastXml = percentile(xmlMs);
        lastTotal = percentile(totalMs);
    }
    printTable("3. Save: xml() + encode + atomic write (median of 21 rounds)", rows,
               "target: from 100 to 1000 combinations (10x) the save grows at most 12x");
}
