#include "ProgramEncoding.h"

#include <QTest>
#include <QTextCodec>

namespace ProgramEncoding {

const QString text = QStringLiteral("\u0416\u0435");

void addRows()
{
    QTest::addColumn<QByteArray>("codec");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("Windows-1251") << QByteArray("Windows-1251") << QByteArray("\xc6\xe5");
    QTest::newRow("UTF-8") << QByteArray("UTF-8") << QByteArray("\xd0\x96\xd0\xb5");
}

Scope::Scope(const QByteArray &codec)
    : m_previous(QTextCodec::codecForLocale())
{
    QTextCodec::setCodecForLocale(QTextCodec::codecForName(codec));
}

Scope::~Scope()
{
    QTextCodec::setCodecForLocale(m_previous);
}

} // namespace ProgramEncoding
