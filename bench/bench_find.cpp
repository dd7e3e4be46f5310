// The find row with a long list: the key combination list of the Physical Keyboard page
// with 20,000 combinations, shown (1024x768, Qt's offscreen platform) until every one is
// in the list. Then texts are typed into the find field and taken back with Backspace, one
// key event at a time, each timed from the key press until the window has painted its
// result (the end of the paint pass the key caused, once nothing more is painted). It
// also counts the editors that made their widgets during a keystroke and stay hidden
// after it, which filtering must never cause, and compares the peak memory after all the
// keystrokes with the peak before the first.
#include "benchutil.h"

#include "editor/keyconfig.h"
#include "editor/keyconfigset.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QThread>
#include <QVBoxLayout>

#include <cstdio>
#include <cstdlib>

namespace {

const int longList = 20000;

// Ends each paint pass of the window itself, so that the time it ended is known.
class PaintClock : public QObject
{
public:
    explicit PaintClock(QWidget *window)
        : QObject(window)
    {
        window->installEventFilter(this);
        m_clock.start();
    }
    qint64 now() const { return m_clock.nsecsElapsed(); }
    qint64 lastPaintEnd() const { return m_lastPaintEnd; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::UpdateRequest || m_inside)
            return false;
        m_inside = true;
        QCoreApplication::sendEvent(watched, event); // paints and flushes
        m_inside = false;
        m_lastPaintEnd = now();
        return true;
    }

private:
    QElapsedTimer m_clock;
    qint64 m_lastPaintEnd = 0;
    bool m_inside = false;
};

// Runs the event loop until nothing has been painted for 100 ms (at most 10 s).
void settle(const PaintClock &clock)
{
    const qint64 start = clock.now();
    while (clock.now() - std::max(start, clock.lastPaintEnd()) < 100000000LL
           && clock.now() - start < 10000000000LL) {
        QCoreApplication::processEvents();
        QThread::usleep(200);
    }
}

QList<KeyConfig *> editors(const QWidget &window)
{
    return window.findChildren<KeyConfig *>();
}

qsizetype built(const QList<KeyConfig *> &list)
{
    return std::count_if(list.cbegin(), list.cend(),
                         [](const KeyConfig *editor) { return editor->deleteButton(); });
}

} // namespace

int main(int argc, char **argv)
{
    // The offscreen platform says this for every window shown; it says nothing about the list.
    static const QtMessageHandler defaultHandler = qInstallMessageHandler(nullptr);
    qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext &context, const QString &text) {
            if (!text.contains(QLatin1String("propagateSizeHints")))
                defaultHandler(type, context, text);
        });
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;

    QWidget window;
    auto *column = new QVBoxLayout(&window);
    column->setContentsMargins(6, 6, 6, 6);
    column->addWidget(new KeyConfigSet(benchCombinations(longList), &window));
    window.resize(1024, 768);
    PaintClock clock(&window);
    window.show();
    QElapsedTimer waited;
    waited.start();
    while (editors(window).size() < longList && waited.elapsed() < 120000)
        settle(clock);
    QLineEdit *find = nullptr;
    for (QLineEdit *edit : window.findChildren<QLineEdit *>()) {
        if (edit->accessibleName() == QLatin1String("Find"))
            find = edit;
    }
    if (editors(window).size() < longList || !find) {
        std::fprintf(stderr, "the list of %d combinations or its find field is missing\n",
                     longList);
        return 1;
    }
    find->setFocus();
    settle(clock);

    const long long peakBefore = peakKb();
    const qsizetype builtBefore = built(editors(window));
    std::vector<double> ms;
    qsizetype builtHidden = 0; // made their widgets during a keystroke, hidden after it
    const auto press = [&](int key, const QString &text) {
        QList<KeyConfig *> list = editors(window);
        std::vector<bool> wasBuilt;
        for (const KeyConfig *editor : list)
            wasBuilt.push_back(editor->deleteButton());
        const qint64 start = clock.now();
        QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
        QCoreApplication::sendEvent(find, &down);
        QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QCoreApplication::sendEvent(find, &up);
        settle(clock);
        ms.push_back((clock.lastPaintEnd() - start) / 1e6);
        for (qsizetype i = 0; i < list.size(); ++i) {
            if (!wasBuilt[i] && list.at(i)->deleteButton() && list.at(i)->isHidden())
                ++builtHidden;
        }
    };
    // A text found in fewer and fewer combinations, and key labels ("Sh+q 5").
    const QStringList queries{ QStringLiteral("text 1234"), QStringLiteral("sh+q 5") };
    for (int round = 0; round < rounds; ++round) {
        for (const QString &query : queries) {
            for (const QChar c : query)
                press(c.toUpper().unicode(), QString(c));
            for (qsizetype i = 0; i < query.size(); ++i)
                press(Qt::Key_Backspace, QString());
        }
    }
    const long long peakAfter = peakKb();
    const qsizetype builtAfter = built(editors(window));

    std::sort(ms.begin(), ms.end());
    std::printf("\n== 8. Find in a long list (%d combinations, offscreen 1024x768; %zu "
                "keystrokes: %d rounds of typing and deleting \"text 1234\" and \"sh+q 5\") ==\n",
                longList, ms.size(), rounds);
    std::printf("keystroke to result painted: median %.1f ms, 90th percentile %.1f ms, "
                "max %.1f ms\n",
                median(ms), ms[ms.size() * 9 / 10], ms.back());
    std::printf("editors with their widgets made: %lld before, %lld after; made while "
                "hidden by the filter: %lld\n",
                static_cast<long long>(builtBefore), static_cast<long long>(builtAfter),
                static_cast<long long>(builtHidden));
    std::printf("peak memory: %.1f MB before the first keystroke, %.1f MB after the last "
                "(%.2fx)\n",
                peakBefore / 1024.0, peakAfter / 1024.0, double(peakAfter) / peakBefore);
    std::printf("targets: median <= 50 ms, none made while hidden, peak <= 1.10x\n");
    return 0;
}
