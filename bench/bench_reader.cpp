// Times XmlParser::parse on a file of 10,000 combinations next to a bare
// QXmlStreamReader pass over the same file, to show what building the model costs.
#include "mapping/keymapformat.h"
#include "mapping/xmlparser.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

qint64 bareRead(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    QXmlStreamReader reader(&file);
    qint64 starts = 0;
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement)
            ++starts;
    }
    return reader.hasError() ? -1 : starts;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int combinations = 10000;
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 21;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("hardware-keyboard.xml"));
    QString document = KeyMapFormat::documentStart();
    for (int i = 0; i < combinations; ++i) {
        document += KeyMapFormat::combinationStart();
        document += KeyMapFormat::keyLine(0x1000000 + i % 64, 0x4000000);
        document += KeyMapFormat::keyLine(0x41 + i % 26, 0);
        document += KeyMapFormat::replacementLine(QStringLiteral("text %1 \u00e9\u20ac&").arg(i));
        document += KeyMapFormat::combinationEnd();
    }
    document += KeyMapFormat::documentEnd();
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(KeyMapFormat::encode(document)) < 0)
            return 1;
    }

    std::vector<double> bare;
    std::vector<double> parsed;
    QElapsedTimer timer;
    for (int round = 0; round < rounds; ++round) {
        timer.start();
        if (bareRead(path) != 1 + 4 * combinations)
            return 1;
        bare.push_back(timer.nsecsElapsed() / 1e6);

        timer.start();
        XmlParser parser;
        const auto keyboard = parser.parse(path);
        if (!keyboard || !parser.isComplete() || keyboard->items().size() != combinations)
            return 1;
        parsed.push_back(timer.nsecsElapsed() / 1e6);
    }
    const double bareMs = median(bare);
    const double parseMs = median(parsed);
    std::printf("\n== 2. Reader: %d combinations, %lld bytes (median of %d rounds) ==\n",
                combinations, static_cast<long long>(QFile(path).size()), rounds);
    std::printf("%-28s %10s %8s\n", "pass", "median ms", "x bare");
    std::printf("%-28s %10.2f %8.2f\n", "bare QXmlStreamReader pass", bareMs, 1.0);
    std::printf("%-28s %10.2f %8.2f\n", "XmlParser::parse", parseMs, parseMs / bareMs);
    std::printf("target: XmlParser::parse <= 1.30x the bare pass\n");
    return 0;
}
