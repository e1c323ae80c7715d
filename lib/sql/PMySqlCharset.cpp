#include "PMySqlCharset.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextCodec>

namespace {

// UTF-8 under the character-set names that MariaDB reports for its UTF-8 variants.
class MySqlUtf8Codec : public QTextCodec
{
public:
    MySqlUtf8Codec() : m_utf8(QTextCodec::codecForMib(utf8Mib)) {}

    QByteArray name() const override { return QByteArrayLiteral("utf8mb3"); }
    QList<QByteArray> aliases() const override { return {QByteArrayLiteral("utf8mb4")}; }
    // A number of its own, so that a lookup of UTF-8 by number still finds Qt's codec.
    int mibEnum() const override { return -utf8Mib; }

protected:
    QString convertToUnicode(const char *in, int length, ConverterState *state) const override
    {
        return m_utf8->toUnicode(in, length, state);
    }
    QByteArray convertFromUnicode(const QChar *in, int length, ConverterState *state) const override
    {
        return m_utf8->fromUnicode(in, length, state);
    }

private:
    static constexpr int utf8Mib = 106;
    QTextCodec *m_utf8;
};

} // namespace

void PMySqlCharset::registerDriverCodec()
{
    // A codec registers itself when it is created and belongs to Qt from then on.
    static const bool registered = [] {
        if (!QTextCodec::codecForName("utf8mb3"))
            new MySqlUtf8Codec;
        return true;
    }();
    Q_UNUSED(registered)
}

bool PMySqlCharset::switchToUtf8mb4(QSqlDatabase &db, QSqlError *error)
{
    QSqlQuery query(db);
    if (query.exec(QStringLiteral("SET NAMES utf8mb4")))
        return true;
    if (error)
        *error = query.lastError();
    return false;
}
