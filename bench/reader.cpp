// Table 2 (docs/performance.md): XmlParser::parse next to a bare QXmlStreamReader pass.
#include "bench.h"

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = 10000, rounds = 21;
    QList<XmlParser::KeyConfig> list(count); // special keys with a modifier, texts to escape
    for (int i = 0; i < count; ++i) {
        list[i].addKey(XmlParser::Key(0x1000000 + i % 64, 0x4000000));
        list[i].addKey(XmlParser::Key(0x41 + i % 26, 0));
        list[i].setReplacement(QStringLiteral("text %1 \u00e9\u20ac&").arg(i));
    }
    QTemporaryDir dir;
    const QString path = writeMappingFile(dir.path(), list);
    QList<double> bare, parsed;
    QElapsedTimer timer;
    for (int round = 0; round < rounds; ++round) {
        timer.start();
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        QXmlStreamReader reader(&file);
        qint64 starts = 0;
        while (!reader.atEnd())
            starts += reader.readNext() == QXmlStreamReader::StartElement;
        bare.push_back(timer.nsecsElapsed() / 1e6);
        timer.start();
        const auto keyboard = XmlParser().parse(path);
        parsed.push_back(timer.nsecsElapsed() / 1e6);
        if (starts != 1 + 4 * count || !keyboard || keyboard->items().size() != count)
            return 1;
    }
    printTable(QStringLiteral("2. Reader: %1 combinations, %2 bytes (median of %3 rounds)")
                   .arg(count)
                   .arg(QFile(path).size())
                   .arg(rounds),
               { { "pass", "median ms", "x bare" },
                 { "bare QXmlStreamReader pass", figure(bare, 0.5, 2), "1.00" },
                 { "XmlParser::parse", figure(parsed, 0.5, 2),
                   figure(parsed, 0.5, 2, percentile(bare)) } },
               "target: XmlParser::parse <= 1.30x the bare pass");
}
