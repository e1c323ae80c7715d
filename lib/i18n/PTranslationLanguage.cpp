#include "PTranslationLanguage.h"

#include <QLocale>
#include <QObject>
#include <QRegularExpression>

PTranslationLanguage::PTranslationLanguage()
{
    fillSuffixMap();
}

void PTranslationLanguage::fillSuffixMap()
{
    // The names are translated once, with whatever translator is installed now.
    m_suffixes.insert(QStringLiteral("_nl"), QObject::tr("Dutch"));
    m_suffixes.insert(QStringLiteral("_es"), QObject::tr("Spanish"));
    m_suffixes.insert(QStringLiteral("_it"), QObject::tr("Italian"));
    m_suffixes.insert(QStringLiteral("_zh"), QObject::tr("Chinese"));
    m_suffixes.insert(QStringLiteral("_ko"), QObject::tr("Korean"));
    m_suffixes.insert(QStringLiteral("_de"), QObject::tr("German"));
    m_suffixes.insert(QStringLiteral("_pl"), QObject::tr("Polish"));
    m_suffixes.insert(QStringLiteral("_ru"), QObject::tr("Russian"));
    m_suffixes.insert(QStringLiteral("_fr"), QObject::tr("French"));
    m_suffixes.insert(QStringLiteral("_cs"), QObject::tr("Czech"));
    m_suffixes.insert(QStringLiteral("_ja"), QObject::tr("Japanese"));
    m_suffixes.insert(QStringLiteral("_ar"), QObject::tr("Arabic"));
    m_suffixes.insert(QStringLiteral("_bg"), QObject::tr("Bulgarian"));
    m_suffixes.insert(QStringLiteral("_hu"), QObject::tr("Hungarian"));
    m_suffixes.insert(QStringLiteral("_vi"), QObject::tr("Vietnamese"));
    m_suffixes.insert(QStringLiteral("_el"), QObject::tr("Greek"));
    m_suffixes.insert(QStringLiteral("_da"), QObject::tr("Danish"));
    m_suffixes.insert(QStringLiteral("_iw"), QObject::tr("Hebrew"));
    m_suffixes.insert(QStringLiteral("_in"), QObject::tr("Indonesian"));
    m_suffixes.insert(QStringLiteral("_ca"), QObject::tr("Catalan"));
    m_suffixes.insert(QStringLiteral("_lv"), QObject::tr("Lettish"));
    m_suffixes.insert(QStringLiteral("_lt"), QObject::tr("Lithuanian"));
    m_suffixes.insert(QStringLiteral("_nb"), QObject::tr("Norwegian"));
    m_suffixes.insert(QStringLiteral("_pt"), QObject::tr("Portuguese"));
    m_suffixes.insert(QStringLiteral("_ro"), QObject::tr("Romanian"));
    m_suffixes.insert(QStringLiteral("_sr"), QObject::tr("Serbian"));
    m_suffixes.insert(QStringLiteral("_sk"), QObject::tr("Slovakian"));
    m_suffixes.insert(QStringLiteral("_sl"), QObject::tr("Slovenian"));
    m_suffixes.insert(QStringLiteral("_tl"), QObject::tr("Tagalog"));
    m_suffixes.insert(QStringLiteral("_th"), QObject::tr("Thai"));
    m_suffixes.insert(QStringLiteral("_tr"), QObject::tr("Turkish"));
    m_suffixes.insert(QStringLiteral("_uk"), QObject::tr("Ukrainian"));
    m_suffixes.insert(QStringLiteral("_fi"), QObject::tr("Finnish"));
    m_suffixes.insert(QStringLiteral("_hi"), QObject::tr("Hindi"));
    m_suffixes.insert(QStringLiteral("_hr"), QObject::tr("Croatian"));
    m_suffixes.insert(QStringLiteral("_sv"), QObject::tr("Swedish"));
}

void PTranslationLanguage::setAppName(const QString &appName)
{
    m_appName = appName;
}

void PTranslationLanguage::setTranslationsFolder(const QString &folder)
{
    m_translationsFolder = folder;
}

QTranslator *PTranslationLanguage::getTranslator()
{
    return &m_translator;
}

void PTranslationLanguage::load(const QString &fileName)
{
    // The result is not needed: a failed load leaves the translator empty, and an
    // empty translator shows the source texts.
    (void)m_translator.load(fileName);
}

void PTranslationLanguage::setLocaleFromFile(const QString &fileName)
{
    load(fileName);
}

void PTranslationLanguage::setRusLocale()
{
    load(m_translationsFolder + QLatin1Char('/') + m_appName + QStringLiteral("_ru.qm"));
}

void PTranslationLanguage::setEngLocale()
{
    // No such file is meant to exist; loading it empties the translator.
    load(m_translationsFolder + QStringLiteral("/empty"));
}

void PTranslationLanguage::setDefaultLocale()
{
    load(m_translationsFolder + QLatin1Char('/') + m_appName + QLatin1Char('_')
         + QLocale::system().name() + QStringLiteral(".qm"));
}

void PTranslationLanguage::addTranslation(const QString &language, const QString &fileName)
{
    if (language.isEmpty())
        return;
    m_translations.insert(language, fileName);
}

void PTranslationLanguage::removeTranslation(const QString &language)
{
    m_translations.remove(language);
}

QString PTranslationLanguage::findAndLoadTranslation(const QString &language)
{
    const auto it = m_translations.constFind(language);
    if (it == m_translations.constEnd())
        return QString();
    load(it.value());
    return it.value();
}

const QMap<QString, QString> &PTranslationLanguage::translations() const
{
    return m_translations;
}

QString PTranslationLanguage::findAndLoadEquivalenceLang(const QString &fileName) const
{
    static const QRegularExpression suffixPattern(QStringLiteral("_[a-zA-Z]{2}"),
                                                  QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = suffixPattern.match(fileName);
    if (!match.hasMatch())
        return QString();
    // The lookup is case-sensitive: "_RU" is not "_ru".
    return m_suffixes.value(match.captured(0));
}
