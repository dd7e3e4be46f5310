// Times "Import…" at scale: a file of 5,000 combinations imported into a shown list of
// 20,000, the call itself (read, editors added, hints, undo bar) and until the list on
// screen has been laid out again. Each round is taken back with "Undo" before the next.
#include "benchutil.h"

#include "editor/keyconfig.h"
#include "editor/keyconfigset.h"
#include "mapping/keymapformat.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// Runs the event loop until the list holds that many editors.
void settle(const KeyConfigSet &set, qsizetype editors)
{
    while (true) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (set.findChildren<KeyConfig *>().size() == editors)
            return;
        QCoreApplication::processEvents();
    }
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const int listed = 20000;
    const int imported = 5000;
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString path = dir.filePath(QStringLiteral("shared.xml"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(KeyMapFormat::encode(KeyConfigSet(benchCombinations(imported, listed)).xml())) < 0)
        return 1;
    file.close();

    KeyConfigSet set(benchCombinations(listed));
    // As in the window: the list is built while its page is hidden, then shown.
    settle(set, listed);
    set.resize(1000, 700);
    set.show();
    QCoreApplication::processEvents();

    std::vector<double> callMs, listedMs;
    QElapsedTimer timer;
    for (int round = 0; round < rounds; ++round) {
        timer.start();
        if (set.importFiles({ path }) != imported) {
            std::fprintf(stderr, "the import did not add %d combinations\n", imported);
            return 1;
        }
        callMs.push_back(timer.nsecsElapsed() / 1e6);
        settle(set, listed + imported);
        QCoreApplication::processEvents(); // the list laid out again
        listedMs.push_back(timer.nsecsElapsed() / 1e6);
        set.undo();
        settle(set, listed);
    }

    std::printf(
        "\n== 7. Import: %d combinations into a shown list of %d (median of %d rounds) ==\n",
        imported, listed, rounds);
    std::printf("%-34s %10.1f ms\n", "the import call", median(callMs));
    std::printf("%-34s %10.1f ms\n", "until the list is laid out again", median(listedMs));
    std::printf("target: the import takes under a second\n");
    return 0;
}
