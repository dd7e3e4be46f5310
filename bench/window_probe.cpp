// The editor as main() starts it, with one addition: it reports its first paint (see
// firstpaint.h) and ends there. It ends without closing the window, so the key mapping
// file and the settings are left as they were for the next run.
//
// With the argument "keyboard" it goes on: right after the first paint it shows the
// Physical Keyboard tab as a click on it would, waits for the paint pass after which every
// combination in view has been painted with its replacement field, and prints the time
// from the switch to then:
//     keyboard <milliseconds>
#include "firstpaint.h"

#include "app/configwidget.h"
#include "app/settingseditor.h"
#include "editor/keyconfig.h"
#include "platform/qpeapplication.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QSet>

#include <cstring>

namespace {

class KeyboardTabProbe : public QObject
{
public:
    explicit KeyboardTabProbe(QTabWidget *window)
        : QObject(window)
        , m_window(window)
    {
        qApp->installEventFilter(this);
        m_timer.start();
        window->setCurrentIndex(1);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            if (auto *edit = qobject_cast<QLineEdit *>(watched)) {
                if (auto *editor = qobject_cast<KeyConfig *>(edit->parentWidget()))
                    m_painted.insert(editor);
            }
            if (!m_checkPending) { // once the paint pass is over
                m_checkPending = true;
                QTimer::singleShot(0, this, [this] {
                    m_checkPending = false;
                    check();
                });
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void check()
    {
        int inView = 0;
        for (KeyConfig *editor : m_window->widget(1)->findChildren<KeyConfig *>()) {
            if (!editor->isVisible() || editor->visibleRegion().isEmpty())
                continue;
            if (!m_painted.contains(editor))
                return;
            ++inView;
        }
        if (inView == 0)
            return;
        std::printf("keyboard %.2f\n", m_timer.nsecsElapsed() / 1e6);
        std::fflush(stdout);
        QCoreApplication::exit(0);
    }

    QTabWidget *m_window;
    QElapsedTimer m_timer;
    QSet<const KeyConfig *> m_painted;
    bool m_checkPending = false;
};

} // namespace

int main(int argc, char **argv)
{
    QPEApplication app(argc, argv, QPEApplication::GuiClient);
    const bool keyboard = argc > 1 && std::strcmp(argv[1], "keyboard") == 0;
    SettingsEditor editor(app);
    if (!editor.becomeTheOnlyEditor())
        return editor.exitStatus();
    editor.watchEveryEnd();
    editor.showWindow(); // the first paint comes from the event loop, after this
    ConfigWidget *window = editor.window();
    if (keyboard)
        new FirstPaintProbe(window, [window] { new KeyboardTabProbe(window); });
    else
        new FirstPaintProbe(window);
    return editor.exec();
}
