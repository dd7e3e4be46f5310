#include "app/configwidget.h"

#include "editor/keyconfigset.h"
#include "mapping/keymapfile.h"
#include "mapping/keymapformat.h"
#include "mapping/xmlparser.h"
#include "platform/atomicfile.h"
#include "platform/config.h"
#include "platform/global.h"
#include "platform/logging.h"
#include "platform/qcopenvelope.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTextDocumentFragment>
#include <QTimer>
#include <QVBoxLayout>

#include <limits>
#include <utility>

namespace {

const char *const channel = "Tavorin/Private";
const char *const keyMappingName = "hardware-keyboard.xml";
const char *const settingsName = "Tavorin.conf";

QString keyMappingPath()
{
    return Global::applicationFileName(QStringLiteral("tavorin"), QLatin1String(keyMappingName));
}

void sendToInputMethod(const char *message)
{
    QCopEnvelope envelope(channel, message);
}

// Told to switch off and not yet on again: switchInputMethodOn() sends "enable()" only
// then, so however many ways of ending meet, it goes out once. A plain static, not a
// member: the program's exit handler needs it, and exit() can come from inside the
// constructor (an unknown element in the key mapping file), before any window exists.
bool inputMethodOff = false;

// A warning that does not block: the window stays usable and a test can go on.
void tell(QWidget *parent, const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Tavorin Settings"), text,
                                QMessageBox::Ok, parent);
    box->setTextFormat(Qt::PlainText); // file names are not markup
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

// A row inside a column: no border of its own, the given gap between its items.
QHBoxLayout *addRow(QVBoxLayout *column, int spacing)
{
    auto *row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(spacing);
    column->addLayout(row);
    return row;
}

} // namespace

ConfigWidget::ConfigWidget(QWidget *parent, const char *name)
    : QTabWidget(parent)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    setWindowTitle(QStringLiteral("Tavorin Settings"));

    // The input method stays off while its settings are edited; this goes out
    // before any page is built.
    sendToInputMethod("disable()");
    inputMethodOff = true;

    auto *general = new QWidget(this);
    addTab(general, QTabWidget::tr("General"));
    auto *generalLayout = new QVBoxLayout(general);
    generalLayout->setContentsMargins(6, 6, 6, 6);
    generalLayout->setSpacing(6);

    QHBoxLayout *symbolsRow = addRow(generalLayout, 6);
    auto *symbolsLabel = new QLabel(QTabWidget::tr("Virtual keyboard:"), general);
    symbolsRow->addWidget(symbolsLabel);
    symbolsEdit = new QLineEdit(general);
    // Each label names its field for assistive technology.
    symbolsLabel->setBuddy(symbolsEdit);
    // Not cut at the line edit's default 32767 characters: what is stored comes back whole.
    symbolsEdit->setMaxLength(std::numeric_limits<int>::max());
    symbolsRow->addWidget(symbolsEdit);

    QHBoxLayout *fontRow = addRow(generalLayout, 6);
    auto *fontLabel = new QLabel(QTabWidget::tr("Virtual keyboard font size: "), general);
    fontRow->addWidget(fontLabel);
    fontSizeBox = new QSpinBox(general);
    fontLabel->setBuddy(fontSizeBox);
    fontSizeBox->setRange(6, 48);
    fontSizeBox->setSingleStep(1);
    fontSizeBox->setValue(12);
    fontRow->addWidget(fontSizeBox);
    fontRow->addStretch(1);

    auto *line = new QFrame(general);
    line->setFrameStyle(QFrame::HLine | QFrame::Plain);
    generalLayout->addWidget(line);

    QHBoxLayout *delayRow = addRow(generalLayout, generalLayout->spacing());
    auto *delayLabel = new QLabel(
        QTabWidget::tr("<qt>Maximum delay between keypair on physical keyboard to be grouped "
                       "for translation</qt>"),
        general);
    // Rich text labels wrap to the space they are given rather than widen the window.
    delayLabel->setWordWrap(true);
    delayRow->addWidget(delayLabel);
    delayBox = new QSpinBox(general);
    delayBox->setRange(100, 10000);
    delayBox->setSingleStep(100);
    delayBox->setSuffix(QStringLiteral("ms"));
    // Named by the label's words, without its markup.
    delayBox->setAccessibleName(QTextDocumentFragment::fromHtml(delayLabel->text()).toPlainText());
    delayRow->addWidget(delayBox);

    generalLayout->addStretch(1);

    auto *keyboard = new QWidget(this);
    addTab(keyboard, QTabWidget::tr("Physical Keyboard"));
    m_keyboardLayout = new QVBoxLayout(keyboard);
    m_keyboardLayout->setContentsMargins(6, 6, 6, 6);
    m_keyboardLayout->setSpacing(6);
    connect(this, &QTabWidget::currentChanged, this, [this, keyboard](int index) {
        if (widget(index) == keyboard)
            keyConfigSet();
    });

    Config config(QStringLiteral("Tavorin"), Config::User);
    config.setGroup(QStringLiteral("Tavorin"));
    symbolsEdit->setText(config.readEntry(QStringLiteral("symbols"), QStringLiteral("\\")));
    // The spin boxes bound stored values that lie outside their range.
    fontSizeBox->setValue(config.readNumEntry(QStringLiteral("fontSize"), 12));
    delayBox->setValue(config.readNumEntry(QStringLiteral("delay"), 1000));

    // Read now, on the window's thread, so that a file with an unknown element ends the
    // program before the window is shown; the list is made from it later (keyConfigSet()).
    const QString path = keyMappingPath();
    XmlParser parser;
    parser.setLimits(KeyMapFile::maxFileSize, KeyMapFile::maxCombinations);
    const std::unique_ptr<XmlParser::Keyboard> read = parser.parse(path);
    prepareKeyConfigSet(path, parser, read.get());
    offerKept();
}

QString ConfigWidget::keptPath(const QString &file)
{
    return Global::stateFileName(QStringLiteral("tavorin"), file);
}

void ConfigWidget::switchInputMethodOn()
{
    if (std::exchange(inputMethodOff, false))
        sendToInputMethod("enable()");
}

void ConfigWidget::prepareKeyConfigSet(const QString &path, const XmlParser &parser,
                                       const XmlParser::Keyboard *keyboard)
{
    m_loadedFingerprint = parser.fingerprint();
    m_loadedMissing = parser.fileStatus() == KeyMapFile::Status::Missing;
    if (parser.fileStatus() == KeyMapFile::Status::TooLarge) {
        // Neither loaded nor replaced; the General tab and the messages work as usual.
        qCWarning(lcApp, "%s is too large to edit here (%s); it is left as it is", qPrintable(path),
                  qPrintable(parser.errorString()));
        m_makeKeyConfigSet = [this]() -> KeyConfigSet * {
            m_keyboardLayout->addWidget(new QLabel(
                QTabWidget::tr(
                    "The key mapping file is too large to edit here and is left as it is."),
                m_keyboardLayout->parentWidget()));
            m_keyboardLayout->addStretch(1);
            return nullptr;
        };
        return;
    }
    if (keyboard) {
        if (parser.fileStatus() == KeyMapFile::Status::NotRegular) {
            // Never opened; the save step will not replace it either.
            qCWarning(lcApp, "%s is neither read nor replaced (%s)", qPrintable(path),
                      qPrintable(parser.errorString()));
        } else if (!parser.isComplete()) {
            m_backupBeforeSave = true;
            qCWarning(lcApp, "%s could not be read to its end (%s); showing what was read",
                      qPrintable(path), qPrintable(parser.errorString()));
        }
    }
    // Without a file, the list starts with one empty combination.
    m_makeKeyConfigSet = [this, found = bool(keyboard),
                          items = keyboard ? keyboard->items() : QList<XmlParser::KeyConfig>()] {
        QWidget *page = m_keyboardLayout->parentWidget();
        auto *list = found ? new KeyConfigSet(items, page) : new KeyConfigSet(page);
        m_keyboardLayout->addWidget(list);
        return list;
    };
}

KeyConfigSet *ConfigWidget::keyConfigSet()
{
    if (m_makeKeyConfigSet)
        m_keyConfigSet = std::exchange(m_makeKeyConfigSet, nullptr)();
    return m_keyConfigSet;
}

bool ConfigWidget::event(QEvent *event)
{
    // The list is made once the window's first paint is done, not during it.
    if (event->type() == QEvent::Paint && m_makeKeyConfigSet)
        QTimer::singleShot(0, this, [this] { keyConfigSet(); });
    return QTabWidget::event(event);
}

bool ConfigWidget::importKeyMappings(const QStringList &paths)
{
    if (paths.isEmpty())
        return true;
    setCurrentWidget(m_keyboardLayout->parentWidget());
    if (!keyConfigSet()) {
        qCWarning(lcApp, "Not imported, since the key mapping file is too large to edit here: %s",
                  qPrintable(paths.join(QLatin1String(", "))));
        QStringList problems;
        for (const QString &path : paths)
            problems.append(QTabWidget::tr("%1 was not imported: the key mapping file is too "
                                           "large to edit here.")
                                .arg(QDir::toNativeSeparators(path)));
        tell(this, problems.join(QLatin1Char('\n')));
        return false;
    }
    keyConfigSet()->importFiles(paths);
    return true;
}

QString ConfigWidget::saveSettings()
{
    if (!m_settingsToSave)
        return QString();
    Config config(QStringLiteral("Tavorin"), Config::User);
    config.setGroup(QStringLiteral("Tavorin"));
    config.writeEntry(QStringLiteral("symbols"), symbolsEdit->text());
    config.writeEntry(QStringLiteral("fontSize"), fontSizeBox->value());
    config.writeEntry(QStringLiteral("delay"), delayBox->value());
    if (!config.commit()) {
        qCDebug(lcApp, "Ups!");
        qCWarning(lcApp, "%s was left as it was: %s", qPrintable(config.fileName()),
                  qPrintable(config.errorString()));
        return QDir::toNativeSeparators(config.fileName()) + QLatin1String(": ")
            + config.errorString();
    }
    m_settingsToSave = false;
    return QString();
}

QString ConfigWidget::saveKeyMappings()
{
    if (!m_keyMappingsToSave)
        return QString();
    const QString path = keyMappingPath();
    if (!keyConfigSet()) {
        qCDebug(lcApp, "%s is left as it is: too large to edit here", qPrintable(path));
        m_keyMappingsToSave = false;
        return QString();
    }
    const auto failed = [&path](const QString &why) {
        return QDir::toNativeSeparators(path) + QLatin1String(": ") + why;
    };
    QString error;
    // Another program may have changed the file since it was read: its content would be
    // lost with the rest of a file read only in part. Only other bytes count as a change;
    // a file grown past the size bound cannot be copied and so is not replaced. One that
    // cannot be fingerprinted now (too large, or still being written) may hold anything,
    // also where there was none at start.
    const KeyMapFile::Contents current = KeyMapFile::read(path);
    const bool changed = current.status != KeyMapFile::Status::Missing
        && current.status != KeyMapFile::Status::NotRegular
        && (current.fingerprint.isEmpty() || m_loadedMissing
            || current.fingerprint != m_loadedFingerprint);
    // A file shown only in part would lose the rest when replaced: keep it whole
    // beside the new one first, and keep it in place if that is not possible.
    if ((m_backupBeforeSave || changed) && current.status != KeyMapFile::Status::Missing) {
        if (!KeyMapFile::keepBackup(path, &error)) {
            qCDebug(lcApp, "Ups!");
            qCWarning(lcApp, "%s was not replaced: no backup could be made (%s)", qPrintable(path),
                      qPrintable(error));
            return failed(QTabWidget::tr("no backup of it could be made (%1)").arg(error));
        }
        if (changed)
            qCWarning(lcApp,
                      "%s was changed by another program since it was read; its content is "
                      "kept in %s",
                      qPrintable(path), qPrintable(KeyMapFile::backupPath(path)));
        else
            qCWarning(lcApp, "%s could not be read to its end; its original content is kept in %s",
                      qPrintable(path), qPrintable(KeyMapFile::backupPath(path)));
    }
    if (!KeyMapFile::write(path, KeyMapFormat::encode(keyConfigSet()->xml()), &error)) {
        qCDebug(lcApp, "Ups!");
        qCWarning(lcApp, "%s was left as it was: %s", qPrintable(path), qPrintable(error));
        return failed(error);
    }
    m_keyMappingsToSave = false;
    return QString();
}

bool ConfigWidget::askAboutFailedSave(QStringList failed)
{
    while (!failed.isEmpty()) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Tavorin Settings"),
                        QTabWidget::tr("Your changes could not be saved."), QMessageBox::Cancel,
                        this);
        box.setInformativeText(QLatin1String("<qt>")
                               + failed.join(QLatin1Char('\n'))
                                     .toHtmlEscaped()
                                     .replace(QLatin1Char('\n'), QLatin1String("<br>"))
                               + QLatin1String("</qt>"));
        QPushButton *retry = box.addButton(QTabWidget::tr("Retry"), QMessageBox::AcceptRole);
        // Writes the combinations elsewhere; the general settings have no other place.
        QPushButton *saveAs = m_keyMappingsToSave
            ? box.addButton(QTabWidget::tr("Save As\u2026"), QMessageBox::ActionRole)
            : nullptr;
        QPushButton *discard =
            box.addButton(QTabWidget::tr("Close Without Saving"), QMessageBox::DestructiveRole);
        box.setDefaultButton(retry);
        box.setEscapeButton(QMessageBox::Cancel);
        box.exec();
        // Dismissed by a logout or a signal: the close goes on and keeps what is unsaved.
        if (m_unattended)
            return true;
        const QAbstractButton *chosen = box.clickedButton();
        if (chosen == discard)
            return true;
        if (chosen == retry) {
            failed.clear();
            for (const QString &failure : { saveSettings(), saveKeyMappings() })
                if (!failure.isEmpty())
                    failed.append(failure);
        } else if (saveAs && chosen == saveAs) {
            const QString path = QFileDialog::getSaveFileName(
                this, QTabWidget::tr("Save Key Combinations As"), QDir::homePath(),
                QTabWidget::tr("Key mapping files (*.xml);;All files (*)"), nullptr,
                QFileDialog::DontUseNativeDialog);
            QString error;
            if (m_unattended)
                return true;
            if (path.isEmpty())
                continue;
            if (keyConfigSet()->exportTo(path, &error))
                return true;
            failed.append(QDir::toNativeSeparators(path) + QLatin1String(": ") + error);
        } else {
            return false;
        }
    }
    return true;
}

void ConfigWidget::keepUnsaved()
{
    const QString keptMappings = keptPath(QLatin1String(keyMappingName));
    const QString folder = QFileInfo(keptMappings).absolutePath();
    QString error;
    bool kept = AtomicFile::makeFolder(folder, &error);
    if (kept && m_keyMappingsToSave && keyConfigSet()) {
        // An older copy that was never restored moves up as a backup.
        if (QFileInfo::exists(keptMappings))
            KeyMapFile::keepBackup(keptMappings);
        kept = KeyMapFile::write(keptMappings, KeyMapFormat::encode(keyConfigSet()->xml()), &error);
    }
    if (kept && m_settingsToSave) {
        Config copy(keptPath(QLatin1String(settingsName)), Config::File);
        copy.setGroup(QStringLiteral("Tavorin"));
        copy.writeEntry(QStringLiteral("symbols"), symbolsEdit->text());
        copy.writeEntry(QStringLiteral("fontSize"), fontSizeBox->value());
        copy.writeEntry(QStringLiteral("delay"), delayBox->value());
        kept = copy.commit();
        error = copy.errorString();
    }
    if (kept)
        qCWarning(lcApp, "The changes that could not be saved are kept in %s", qPrintable(folder));
    else
        qCWarning(lcApp, "The changes that could not be saved could not be kept in %s either: %s",
                  qPrintable(folder), qPrintable(error));
}

void ConfigWidget::offerKept()
{
    QDateTime when;
    for (const char *name : { keyMappingName, settingsName }) {
        const QFileInfo kept(keptPath(QLatin1String(name)));
        if (kept.isFile() && (!when.isValid() || kept.lastModified() > when))
            when = kept.lastModified();
    }
    if (!when.isValid())
        return;
    QWidget *page = m_keyboardLayout->parentWidget();
    auto *bar = new QFrame(page);
    bar->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(6, 6, 6, 6);
    row->setSpacing(6);
    auto *label = new QLabel(QTabWidget::tr("Changes that could not be saved on %1 were kept.")
                                 .arg(QLocale().toString(when, QLocale::ShortFormat)),
                             bar);
    label->setWordWrap(true);
    row->addWidget(label, 1);
    auto *restore = new QPushButton(QTabWidget::tr("Restore"), bar);
    row->addWidget(restore);
    auto *discard = new QPushButton(QTabWidget::tr("Discard"), bar);
    row->addWidget(discard);
    connect(restore, &QPushButton::clicked, this, &ConfigWidget::restoreKept);
    connect(discard, &QPushButton::clicked, this, &ConfigWidget::discardKept);
    m_keyboardLayout->insertWidget(0, bar);
    m_keptBar = bar;
}

// The general settings go into the General tab, the combinations are imported (and can be
// taken back as any import); the copy is removed once they are saved.
void ConfigWidget::restoreKept()
{
    const QString settings = keptPath(QLatin1String(settingsName));
    if (QFileInfo(settings).isFile()) {
        Config kept(settings, Config::File);
        kept.setGroup(QStringLiteral("Tavorin"));
        symbolsEdit->setText(kept.readEntry(QStringLiteral("symbols"), symbolsEdit->text()));
        fontSizeBox->setValue(kept.readNumEntry(QStringLiteral("fontSize"), fontSizeBox->value()));
        delayBox->setValue(kept.readNumEntry(QStringLiteral("delay"), delayBox->value()));
    }
    m_keptRestored = true;
    const QString mappings = keptPath(QLatin1String(keyMappingName));
    delete std::exchange(m_keptBar, nullptr);
    if (QFileInfo(mappings).isFile())
        importKeyMappings({ mappings });
}

void ConfigWidget::discardKept()
{
    for (const char *name : { keyMappingName, settingsName })
        QFile::remove(keptPath(QLatin1String(name)));
    m_keptRestored = false;
    delete std::exchange(m_keptBar, nullptr);
}

void ConfigWidget::closeEvent(QCloseEvent *event)
{
    // design: the settings are committed before "reread()", so that an input method
    // that re-reads at once finds them; the key mapping file is complete and closed
    // before it too.
    QStringList failed;
    for (const QString &failure : { saveSettings(), saveKeyMappings() })
        if (!failure.isEmpty())
            failed.append(failure);
    // A close the user made asks what to do; until they have chosen the input method
    // hears nothing, and Cancel keeps the window with every edit in it.
    if (!failed.isEmpty() && !m_unattended && !askAboutFailedSave(failed)) {
        event->ignore();
        return;
    }
    if (m_unattended && (m_settingsToSave || m_keyMappingsToSave))
        keepUnsaved();
    else if (m_keptRestored && !m_settingsToSave && !m_keyMappingsToSave)
        discardKept();

    sendToInputMethod("reread()");
    switchInputMethodOn();

    QTabWidget::closeEvent(event);
}
