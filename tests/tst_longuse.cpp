// Long use of the key combination list: thousands of combinations added, given keys and
// a text, written and deleted again through the same buttons a user clicks. Nothing may
// be left behind: once every added combination is gone, the application holds exactly
// the widgets it held before.
#include "editor/inputbutton.h"
#include "editor/keyconfig.h"
#include "editor/keyconfigset.h"
#include "findbutton.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <deque>

namespace {

// One key press as Qt delivers it and as the key mapping file must hold it.
struct Press
{
    Qt::Key qtKey;
    Qt::KeyboardModifiers modifiers;
    int code;
    int state;
};

const Press presses[] = {
    { Qt::Key_Q, Qt::NoModifier, 0x51, 0 },
    { Qt::Key_W, Qt::ShiftModifier, 0x57, 0x08 },
    { Qt::Key_Return, Qt::ControlModifier, 0x1004, 0x10 },
    { Qt::Key_5, Qt::NoModifier, 0x35, 0 },
    { Qt::Key_Backspace, Qt::ShiftModifier, 0x1003, 0x08 },
    { Qt::Key_ParenRight, Qt::ShiftModifier, 0x29, 0x08 },
    { Qt::Key_Space, Qt::NoModifier, 0x20, 0 },
};
constexpr int pressCount = int(sizeof presses / sizeof presses[0]);

// What one added combination should write.
struct Expected
{
    QPointer<KeyConfig> editor;
    QList<Press> keys;
    QString text; // as typed
    QString written; // as it appears in the attribute
};

QString document(const std::deque<Expected> &live)
{
    QString doc = QStringLiteral("<hardware-keyboard>\n");
    for (const Expected &e : live) {
        doc += QStringLiteral("\t<key-config>\n");
        for (const Press &p : e.keys)
            doc +=
                QStringLiteral("\t\t<key keycode=\"%1\" state=\"%2\"/>\n").arg(p.code).arg(p.state);
        doc += QStringLiteral("\t\t<replacement text=\"%1\"/>\n").arg(e.written);
        doc += QStringLiteral("\t</key-config>\n");
    }
    return doc + QStringLiteral("</hardware-keyboard>");
}

// Runs what deleteLater() and the list's repaint timers left for the event loop.
void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class LongUseTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void addCaptureWriteDelete_data();
    void addCaptureWriteDelete();

private:
    // Clicks the capture button and presses the key on whatever holds the focus then,
    // as a user's key press would reach it.
    static bool capture(InputButton *button, const Press &press);
};

bool LongUseTest::capture(InputButton *button, const Press &press)
{
    QTest::mouseClick(button, Qt::LeftButton);
    if (QApplication::focusWidget() != button)
        return false;
    QKeyEvent event(QEvent::KeyPress, press.qtKey, press.modifiers);
    QCoreApplication::sendEvent(QApplication::focusWidget(), &event);
    return true;
}

void LongUseTest::addCaptureWriteDelete_data()
{
    QTest::addColumn<int>("count"); // combinations added and deleted
    QTest::addColumn<int>("kept"); // how many stay in the list before one is deleted
    QTest::addColumn<QString>("which"); // which of them is deleted

    // 2,000 combinations in all.
    QTest::newRow("each deleted at once") << 800 << 1 << "newest";
    QTest::newRow("queue of 20, oldest deleted") << 600 << 20 << "oldest";
    QTest::newRow("stack of 20, newest deleted") << 300 << 20 << "newest";
    QTest::newRow("list of 50, deleted from the middle") << 300 << 50 << "middle";
}

void LongUseTest::addCaptureWriteDelete()
{
    QFETCH(int, count);
    QFETCH(int, kept);
    QFETCH(QString, which);

    // GIVEN a shown list with its one empty combination
    KeyConfigSet set;
    set.resize(480, 640);
    set.show();
    QVERIFY(QTest::qWaitForWindowActive(&set));
    settle();
    QPushButton *add = findButton(&set, QStringLiteral("Add Key Combination"));
    QVERIFY(add);
    const QList<KeyConfig *> initial = set.findChildren<KeyConfig *>();
    QCOMPARE(initial.size(), 1);
    const qsizetype widgetsAtStart = QApplication::allWidgets().size();
    const QString emptyDocument = set.xml();

    std::deque<Expected> live;
    QList<QPointer<QWidget>> deleted; // a sample of what was deleted, with its buttons
    int added = 0;
    while (added < count || !live.empty()) {
        if (added < count && int(live.size()) < kept) {
            // WHEN a combination is added, its keys captured and its text typed
            QList<KeyConfig *> before = set.findChildren<KeyConfig *>();
            QTest::mouseClick(add, Qt::LeftButton);
            KeyConfig *editor = nullptr;
            const auto after = set.findChildren<KeyConfig *>();
            for (KeyConfig *candidate : after) {
                if (!before.contains(candidate))
                    editor = candidate;
            }
            QVERIFY(editor);
            Expected e;
            e.editor = editor;
            e.keys.append(presses[added % pressCount]);
            // Every third one gets a second key through ">>".
            if (added % 3 == 0) {
                QPushButton *more = findButton(editor, QStringLiteral(">>"));
                QVERIFY(more);
                QTest::mouseClick(more, Qt::LeftButton);
                e.keys.append(presses[(added + 3) % pressCount]);
            }
            const auto buttons = editor->findChildren<InputButton *>();
            QCOMPARE(buttons.size(), e.keys.size());
            for (int k = 0; k < buttons.size(); ++k)
                QVERIFY(capture(buttons.at(k), e.keys.at(k)));
            // Every fifth text holds an ampersand, which the file escapes.
            e.text = added % 5 == 0 ? QStringLiteral("a&b%1").arg(added)
                                    : QStringLiteral("t%1").arg(added);
            e.written = QString(e.text).replace(QLatin1String("&"), QLatin1String("&amp;"));
            auto *edit = editor->findChild<QLineEdit *>();
            QVERIFY(edit);
            QTest::keyClicks(edit, e.text);
            live.push_back(e);
            ++added;
        } else {
            // WHEN one is deleted through its own "delete" button
            auto it = which == u"oldest" ? live.begin()
                : which == u"newest"     ? live.end() - 1
                                         : live.begin() + live.size() / 2;
            QVERIFY(it->editor);
            QPushButton *del = findButton(it->editor, QStringLiteral("delete"));
            QVERIFY(del);
            if (deleted.size() < 50) {
                deleted.append(it->editor.data());
                const auto buttons = it->editor->findChildren<InputButton *>();
                for (InputButton *button : buttons)
                    deleted.append(button);
            }
            QTest::mouseClick(del, Qt::LeftButton);
            live.erase(it);
        }
        settle();
        // THEN the document holds exactly the combinations left, in their order
        const QString written = set.xml();
        if (written != document(live))
            QCOMPARE(written, document(live)); // compared in full only when it differs
    }

    // THEN every added editor and button is gone, and only those
    settle();
    for (const QPointer<QWidget> &widget : std::as_const(deleted))
        QVERIFY(widget.isNull());
    QCOMPARE(set.findChildren<KeyConfig *>(), initial);
    QCOMPARE(QApplication::allWidgets().size(), widgetsAtStart);
    QCOMPARE(set.xml(), emptyDocument);
}

QTEST_MAIN(LongUseTest)
#include "tst_longuse.moc"
