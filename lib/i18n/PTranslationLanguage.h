#ifndef PTRANSLATIONLANGUAGE_H
#define PTRANSLATIONLANGUAGE_H

#include "pelmora0_global.h"

#include <QMap>
#include <QString>
#include <QTranslator>

// Loads a program's translation files into one translator and names their languages.
// Translation files are named <application>_<language code>.qm and live in a
// translations folder. Installing the translator into the application is the caller's
// business (QCoreApplication::installTranslator(getTranslator())).
//
// Every load goes through QTranslator::load(fileName) with Qt's fall-back: the name
// with ".qm", the name as given, then the name cut at its last "_" or "." and so on.
// A load empties the translator first, so a file that is not found leaves it empty.
class PELMORA0_EXPORT PTranslationLanguage
{
public:
    PTranslationLanguage();
    PTranslationLanguage(const PTranslationLanguage &) = delete;
    PTranslationLanguage &operator=(const PTranslationLanguage &) = delete;

    void setAppName(const QString &appName);
    void setTranslationsFolder(const QString &folder);
    QTranslator *getTranslator();

    // Loads the file at the given path, unchanged.
    void setLocaleFromFile(const QString &fileName);
    // Loads <folder>/<application>_ru.qm.
    void setRusLocale();
    // Empties the translator: the interface shows its source (English) texts.
    void setEngLocale();
    // Loads <folder>/<application>_<system locale name>.qm, e.g. kvtMergeDB_ru_RU.qm.
    void setDefaultLocale();

    // Records the translation file of a language; an empty language name is ignored.
    void addTranslation(const QString &language, const QString &fileName);
    void removeTranslation(const QString &language);
    // Loads the file recorded for the language and returns its path;
    // returns an empty text, loading nothing, when the language is not recorded.
    QString findAndLoadTranslation(const QString &language);
    // The recorded translation files by language name.
    const QMap<QString, QString> &translations() const;

    // The language name of a file name's first "_xx" suffix, or an empty text.
    // Loads nothing.
    QString findAndLoadEquivalenceLang(const QString &fileName) const;

private:
    void fillSuffixMap();
    void load(const QString &fileName);

    QString m_appName;
    QString m_translationsFolder;
    QTranslator m_translator;
    QMap<QString, QString> m_translations;
    QMap<QString, QString> m_suffixes;
};

#endif // PTRANSLATIONLANGUAGE_H
