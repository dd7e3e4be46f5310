#ifndef CONFIGWIDGET_H
#define CONFIGWIDGET_H

#include "mapping/xmlparser.h"

#include <QTabWidget>

#include <functional>
#include <utility>

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
    // False when none could be taken in because the list is too large to edit here (a
    // message box names the files).
    bool importKeyMappings(const QStringList &paths);

    // A close that nobody can answer (a logout, SIGTERM, SIGHUP): what cannot be saved is
    // kept for the next start (keptPath()) instead of asked about.
    void setUnattended(bool unattended) { m_unattended = unattended; }
    // Where a close that cannot save keeps the combinations ("hardware-keyboard.xml") or
    // the general settings ("Tavorin.conf") for the next start.
    static QString keptPath(const QString &file);

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
    // Each saves what is still to be saved and says for a file that failed
    // "<file>: <reason>", otherwise nothing.
    QString saveSettings();
    QString saveKeyMappings();
    // The message box of a close that could not save everything: true when the close
    // goes on (saved after all, or closed without saving), false to keep the window.
    bool askAboutFailedSave(QStringList failed);
    void keepUnsaved();
    // The bar above the list that offers what an earlier close kept.
    void offerKept();
    void restoreKept();
    void discardKept();

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
    bool m_loadedMissing = false; // there was no key mapping file at start

    bool m_unattended = false;
    bool m_settingsToSave = true; // not yet saved at close
    bool m_keyMappingsToSave = true;
    QWidget *m_keptBar = nullptr; // shown while an earlier close's copy is offered
    bool m_keptRestored = false; // removed once saved
};

#endif // CONFIGWIDGET_H
