// What does building the model cost over reading the XML? XmlParser::parse on a file of
// 10,000 combinations next to a bare QXmlStreamReader pass over the same file.
#include "bench.h"

#include <QXmlStreamReader>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = 10000, rounds = 21;
    QList<XmlParser::KeyConfig> list; // special keys with a modifier, texts to escape
    for (int i = 0; i < count; ++i) {
        list.append(XmlParser::KeyConfig());
        list.last().addKey(XmlParser::Key(0x1000000 + i % 64, 0x4000000));
        list.last().addKey(XmlParser::Key(0x41 + i % 26, 0));
        list.last().setReplacement(QStringLiteral("text %1 \u00e9\u20ac&").arg(i));
    }
    QTemporaryDir dir;
    const QString path = writeMappingFile(dir.path(), list);
    std::vector<double> bare, parsed;
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
        XmlParser parser;
        const auto keyboard = parser.parse(path);
        parsed.push_back(timer.nsecsElapsed() / 1e6);
        if (starts != 1 + 4 * count || !keyboard || keyboard->items().size() != count)
            return 1;
    }
    const double ratio = percentile(parsed) / percentile(bare);
    printTable(
        stdout,
        QStringLiteral("2. Reader: %1 combinations, %2 bytes (median of %3 rounds)")
            .arg(count)
            .arg(QFile(path).size())
            .arg(rounds)
            .toUtf8(),
        { { "pass", "median ms", "x bare" },
          { "bare QXmlStreamReader pass", figure(bare, 0.5, 2), "1.00" },
          { "XmlParser::parse", figure(parsed, 0.5, 2), QByteArray::number(ratio, 'f', 2) } },
        "target: XmlParser::parse <= 1.30x the bare pass");
}
