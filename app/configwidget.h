#ifndef CONFIGWIDGET_H
#define CONFIGWIDGET_H

#include "mapping/xmlparser.h"

#include <QTabWidget>

#include <functional>

QT_BEGIN_NAMESPACE
class QCloseEvent;
class QLineEdit;
class QSpinBox;
class QVBoxLayout;
QT_END_NAMESPACE

class KeyConfigSet;

// The settings window: a "General" tab for the on-screen keyboard and the key-pair
// delay, and a "Physical Keyboard" tab with the key combinations. While it is open
// the input method is switched off; closing it is the one place where everything is
// saved and the input method is told to re-read and switch on again.
//
// It has no meta-object of its own, so its texts are translated in the context of
// its base class, "QTabWidget".
class ConfigWidget : public QTabWidget
{
public:
    explicit ConfigWidget(QWidget *parent = nullptr, const char *name = nullptr);

    // Tells the input method to switch itself on again, once after "disable()": at
    // close, and on every other way the program ends (see SettingsEditor).
    static void switchInputMethodOn();

    // Adds the combinations of these key mapping files at the end of the list, for the
    // user to look at on the Physical Keyboard tab; saved at close, like every other.
    void importKeyMappings(const QStringList &paths);

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    friend class ConfigWidgetTest;

    // Keeps what was read (no keyboard: no file) for the list, which is made when first
    // asked for.
    void prepareKeyConfigSet(const QString &path, const XmlParser &parser,
                             const XmlParser::Keyboard *keyboard);
    // The Physical Keyboard page's list, made at the first call: right after the window's
    // first paint, when that tab is first shown, or by whoever asks first; the window opens
    // as fast as without combinations. Null for a file too large to edit.
    KeyConfigSet *keyConfigSet();
    void saveKeyMappings();

    QLineEdit *symbolsEdit = nullptr;
    QSpinBox *fontSizeBox = nullptr;
    // Makes what keyConfigSet() returns; empty once it has run.
    std::function<KeyConfigSet *()> m_makeKeyConfigSet;
    KeyConfigSet *m_keyConfigSet = nullptr;
    QSpinBox *delayBox = nullptr;

    QVBoxLayout *m_keyboardLayout = nullptr; // the Physical Keyboard page's column
    // The key mapping file was not read to its end: keep a copy before replacing it.
    bool m_backupBeforeSave = false;
    // The key mapping file as it was read (KeyMapFile::read), empty when there was none or
    // it changed while read: other bytes at close are kept as a copy before they are replaced.
    QByteArray m_loadedFingerprint;
};

#endif // CONFIGWIDGET_H
