#include "camrecord.h"

#include <QCryptographicHash>

namespace runs {

namespace {
constexpr int kLongestSerial = 40;
}

QByteArray camDigest(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

base::Status checkCamBytes(const CamRecord &record)
{
    if (camDigest(record.bytes) != record.digest)
        return base::fail(base::FailureKind::Damaged,
                          QStringLiteral("the kept cam table %1 does not match its digest "
                                         "(damaged or changed by hand); it is not used")
                              .arg(record.id)
                              .toStdString());
    return {};
}

base::Status checkSerial(const QString &serial)
{
    const QList<uint> characters = serial.toUcs4();
    // Quoted as it stands, save what a terminal would act on.
    QString shown;
    for (const uint c : characters)
        shown += QChar::isPrint(c) ? QString::fromUcs4(reinterpret_cast<const char32_t *>(&c), 1)
                                   : QStringLiteral("\uFFFD");
    const auto wrong = [&shown](const QString &why) {
        return base::fail(
            base::FailureKind::InvalidInput,
            QStringLiteral("the lens serial \"%1\" %2").arg(shown, why).toStdString());
    };
    if (characters.isEmpty())
        return base::fail(base::FailureKind::InvalidInput,
                          "the lens serial is empty (give 1 to 40 characters)");
    if (characters.size() > kLongestSerial)
        return wrong(QStringLiteral("has %1 characters; at most %2")
                         .arg(characters.size())
                         .arg(kLongestSerial));
    for (qsizetype i = 0; i < characters.size(); ++i)
        if (!QChar::isPrint(characters.at(i)))
            return wrong(
                QStringLiteral("holds a character that is not printable (U+%1 at "
                               "position %2)")
                    .arg(QString::number(characters.at(i), 16).toUpper().rightJustified(4, u'0'))
                    .arg(i + 1));
    if (QChar::isSpace(characters.front()))
        return wrong(QStringLiteral("begins with a blank"));
    if (QChar::isSpace(characters.back()))
        return wrong(QStringLiteral("ends with a blank"));
    return {};
}

} // namespace runs
