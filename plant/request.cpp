#include "pages.h"

#include <QStringDecoder>

namespace plant {

namespace {

// Text of the address, percent-decoded: UTF-8 without control characters, or nothing. Nothing
// else ever reaches a page or a query.
std::optional<QString> addressText(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const QString text = utf8(bytes);
    if (utf8.hasError())
        return std::nullopt;
    for (const QChar c : text)
        if (c.category() == QChar::Other_Control)
            return std::nullopt;
    return text;
}

Reply notText(const QString &where, const QByteArray &bytes)
{
    return problem(400, QStringLiteral("%1: '%2' is not UTF-8 text without control characters")
                            .arg(where, QString::fromLatin1(bytes.toPercentEncoding().left(200))));
}

// Percent-decoded: each '%' and two hexadecimal digits is the byte they name; any other '%'
// stays as it was typed.
QByteArray percentDecoded(const QByteArray &part)
{
    const auto digit = [](char c) -> int {
        const qsizetype at = QByteArrayView("0123456789abcdefABCDEF").indexOf(c);
        return at < 0 ? -1 : static_cast<int>(at < 16 ? at : at - 6);
    };
    QByteArray bytes;
    bytes.reserve(part.size());
    for (qsizetype i = 0; i < part.size(); ++i) {
        const bool escape = part.at(i) == '%' && i + 2 < part.size();
        const int high = escape ? digit(part.at(i + 1)) : -1;
        const int low = high >= 0 ? digit(part.at(i + 2)) : -1;
        if (low < 0) {
            bytes += part.at(i);
            continue;
        }
        bytes += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return bytes;
}

// A query's name or value: '+' is a space (HTML forms), then percent-decoded.
QByteArray queryPart(QByteArray part)
{
    return percentDecoded(part.replace('+', ' '));
}

} // namespace

std::variant<Request, Reply> readRequest(const QByteArray &target)
{
    Request request;
    const qsizetype mark = target.indexOf('?');
    for (const QByteArray &segment : (mark < 0 ? target : target.left(mark)).split('/').mid(1)) {
        const QByteArray bytes = percentDecoded(segment);
        const auto text = addressText(bytes);
        if (!text)
            return notText(QStringLiteral("address"), bytes);
        request.segments << *text;
    }
    request.path = u'/' + request.segments.join(u'/');
    if (mark < 0)
        return request;
    for (const QByteArray &pair : target.mid(mark + 1).split('&')) {
        if (pair.isEmpty())
            continue;
        const qsizetype equals = pair.indexOf('=');
        const QByteArray key = queryPart(pair.left(equals));
        const QByteArray value = equals < 0 ? QByteArray() : queryPart(pair.mid(equals + 1));
        const auto name = addressText(key);
        const auto text = addressText(value);
        if (!name || !text)
            return notText(name.value_or(QStringLiteral("query")), value);
        if (!request.params.contains(*name))
            request.params.insert(*name, *text);
    }
    return request;
}

} // namespace plant
