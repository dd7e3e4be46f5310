// Does the save at close grow linearly with the list? For 100, 1,000 and 5,000
// combinations: the document from KeyConfigSet::xml(), its bytes from
// KeyMapFormat::encode() and the atomic replacement of the file by KeyMapFile::write().
#include "bench.h"

#include "editor/keyconfigset.h"
#include "mapping/keymapfile.h"

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int rounds = 21;
    QTemporaryDir dir;
    QList<QByteArrayList> rows{ { "combinations", "bytes", "xml() ms", "encode+write ms",
                                  "total ms", "growth", "xml() g." } };
    double lastXml = 0, lastTotal = 0;
    for (int count : { 100, 1000, 5000 }) {
        KeyConfigSet set(benchCombinations(count));
        std::vector<double> xmlMs, writeMs, totalMs;
        QByteArray content;
        QElapsedTimer timer;
        for (int round = 0; round < rounds; ++round) {
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
        const double xml = percentile(xmlMs), total = percentile(totalMs);
        const auto growth = [](double now, double last) {
            return last > 0 ? QByteArray::number(now / last, 'f', 1) + 'x' : QByteArray("-");
        };
        rows.append({ QByteArray::number(count), QByteArray::number(content.size()),
                      figure(xmlMs, 0.5, 3), figure(writeMs, 0.5, 3), figure(totalMs, 0.5, 3),
                      growth(total, lastTotal), growth(xml, lastXml) });
        lastXml = xml;
        lastTotal = total;
    }
    printTable(stdout, "3. Save: xml() + encode + atomic write (median of 21 rounds)", rows,
               "target: from 100 to 1000 combinations (10x) the save grows at most 12x");
}
