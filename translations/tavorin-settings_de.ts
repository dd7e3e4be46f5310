<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>InputButton</name>
    <message>
        <source>Select Key</source>
        <translation>Taste wählen</translation>
    </message>
    <message>
        <source>Key code %1, modifier state %2 (no label)</source>
        <translation>Tastencode %1, Modifikatorstatus %2 (ohne Beschriftung)</translation>
    </message>
    <message>
        <source>%1: key code %2, modifier state %3 (no label)</source>
        <translation>%1: Tastencode %2, Modifikatorstatus %3 (ohne Beschriftung)</translation>
    </message>
</context>
<context>
    <name>KeyConfig</name>
    <message>
        <source>Key(s):</source>
        <translation>Taste(n):</translation>
    </message>
    <message>
        <source>Replacement:</source>
        <translation>Ersetzung:</translation>
    </message>
    <message>
        <source>delete</source>
        <translation>löschen</translation>
    </message>
    <message>
        <source>key %1 of combination %2</source>
        <translation>Taste %1 von Kombination %2</translation>
    </message>
    <message>
        <source>key %1</source>
        <translation>Taste %1</translation>
    </message>
    <message>
        <source>adds a key to combination %1</source>
        <translation>fügt Kombination %1 eine Taste hinzu</translation>
    </message>
    <message>
        <source>adds a key to this combination</source>
        <translation>fügt dieser Kombination eine Taste hinzu</translation>
    </message>
    <message>
        <source>replacement text of combination %1</source>
        <translation>Ersetzungstext von Kombination %1</translation>
    </message>
    <message>
        <source>replacement text of this combination</source>
        <translation>Ersetzungstext dieser Kombination</translation>
    </message>
    <message>
        <source>deletes combination %1</source>
        <translation>löscht Kombination %1</translation>
    </message>
    <message>
        <source>deletes this combination</source>
        <translation>löscht diese Kombination</translation>
    </message>
    <message>
        <source>Not saved: no key captured</source>
        <translation>Nicht gespeichert: keine Taste erfasst</translation>
    </message>
    <message>
        <source>Not saved: no replacement text</source>
        <translation>Nicht gespeichert: kein Ersetzungstext</translation>
    </message>
    <message>
        <source>Same keys as combination %1</source>
        <translation>Dieselben Tasten wie Kombination %1</translation>
    </message>
</context>
<context>
    <name>KeyConfigSet</name>
    <message>
        <source>Add Key Combination</source>
        <translation>Tastenkombination hinzufügen</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Rückgängig</translation>
    </message>
    <message>
        <source>Combination %1 deleted.</source>
        <translation>Kombination %1 gelöscht.</translation>
    </message>
    <message>
        <source>Import…</source>
        <translation>Importieren …</translation>
    </message>
    <message>
        <source>Export…</source>
        <translation>Exportieren …</translation>
    </message>
    <message>
        <source>Import Key Combinations</source>
        <translation>Tastenkombinationen importieren</translation>
    </message>
    <message>
        <source>Key mapping files (*.xml);;All files (*)</source>
        <translation>Tastenbelegungsdateien (*.xml);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Export Key Combinations</source>
        <translation>Tastenkombinationen exportieren</translation>
    </message>
    <message>
        <source>%1 was not written: %2.</source>
        <translation>%1 wurde nicht geschrieben: %2.</translation>
    </message>
    <message>
        <source>%1 was not imported: it holds no key combination.</source>
        <translation>%1 wurde nicht importiert: Die Datei enthält keine Tastenkombination.</translation>
    </message>
    <message>
        <source>%1 was not imported: %2.</source>
        <translation>%1 wurde nicht importiert: %2.</translation>
    </message>
    <message>
        <source>%1 was not imported: the list would hold more than %2 combinations.</source>
        <translation>%1 wurde nicht importiert: Die Liste hätte dann mehr als %2 Kombinationen.</translation>
    </message>
    <message>
        <source>%1 was read only in part (%2); the combinations before that point were imported.</source>
        <translation>%1 wurde nur teilweise gelesen (%2); die Kombinationen bis zu dieser Stelle wurden importiert.</translation>
    </message>
    <message>
        <source>1 combination imported.</source>
        <translation>1 Kombination importiert.</translation>
    </message>
    <message numerus="yes">
        <source>%n combinations imported.</source>
        <translation>
            <numerusform>%n Kombination importiert.</numerusform>
            <numerusform>%n Kombinationen importiert.</numerusform>
        </translation>
    </message>
    <message>
        <source>Find</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <source>Press Keys</source>
        <translation>Tasten drücken</translation>
    </message>
    <message>
        <source>Find by text or keys</source>
        <translation>Nach Text oder Tasten suchen</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 von %2</translation>
    </message>
    <message>
        <source>Key mapping files and backups (*.xml *.xml.bak *.xml.bak.[1-5]);;All files (*)</source>
        <translation>Tastenbelegungsdateien und Sicherungskopien (*.xml *.xml.bak *.xml.bak.[1-5]);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>%1 was not imported: the list would be larger than %2 MiB as written.</source>
        <translation>%1 wurde nicht importiert: Die Liste wäre gespeichert größer als %2 MiB.</translation>
    </message>
    <message>
        <source>it is the editor&apos;s own key mapping file, which closing the window saves</source>
        <translation>es ist die eigene Tastenbelegungsdatei des Editors, die beim Schließen des Fensters gespeichert wird</translation>
    </message>
    <message>
        <source>Key combinations</source>
        <translation>Tastenkombinationen</translation>
    </message>
</context>
<context>
    <name>QTabWidget</name>
    <message>
        <source>General</source>
        <translation>Allgemein</translation>
    </message>
    <message>
        <source>Virtual keyboard:</source>
        <translation>Bildschirmtastatur:</translation>
    </message>
    <message>
        <source>Virtual keyboard font size: </source>
        <translation>Schriftgröße der Bildschirmtastatur: </translation>
    </message>
    <message>
        <source>&lt;qt&gt;Maximum delay between keypair on physical keyboard to be grouped for translation&lt;/qt&gt;</source>
        <translation>&lt;qt&gt;Maximale Verzögerung zwischen zwei Tastendrücken der physischen Tastatur, damit sie zur Übersetzung gruppiert werden&lt;/qt&gt;</translation>
    </message>
    <message>
        <source>Physical Keyboard</source>
        <translation>Physische Tastatur</translation>
    </message>
    <message>
        <source>The key mapping file is too large to edit here and is left as it is.</source>
        <translation>Die Tastenbelegungsdatei ist zu groß, um sie hier zu bearbeiten, und bleibt unverändert.</translation>
    </message>
    <message>
        <source>%1 was not imported: the key mapping file is too large to edit here.</source>
        <translation>%1 wurde nicht importiert: Die Tastenbelegungsdatei ist zu groß, um sie hier zu bearbeiten.</translation>
    </message>
    <message>
        <source>no backup of it could be made (%1)</source>
        <translation>es konnte keine Sicherungskopie davon angelegt werden (%1)</translation>
    </message>
    <message>
        <source>Your changes could not be saved.</source>
        <translation>Ihre Änderungen konnten nicht gespeichert werden.</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>Wiederholen</translation>
    </message>
    <message>
        <source>Save As…</source>
        <translation>Speichern unter …</translation>
    </message>
    <message>
        <source>Close Without Saving</source>
        <translation>Ohne Speichern schließen</translation>
    </message>
    <message>
        <source>Save Key Combinations As</source>
        <translation>Tastenkombinationen speichern unter</translation>
    </message>
    <message>
        <source>Key mapping files (*.xml);;All files (*)</source>
        <translation>Tastenbelegungsdateien (*.xml);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Changes that could not be saved on %1 were kept.</source>
        <translation>Änderungen, die am %1 nicht gespeichert werden konnten, wurden aufbewahrt.</translation>
    </message>
    <message>
        <source>Restore</source>
        <translation>Wiederherstellen</translation>
    </message>
    <message>
        <source>Discard</source>
        <translation>Verwerfen</translation>
    </message>
</context>
</TS>
