#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <map>

namespace testsupport {

// A cam table file as the program saves it: `count` lines, each "<focal length>;<cells>" and
// CR LF, the focal length 75 mm for line 1 and 5 mm more each line after.
inline QByteArray camText(const std::function<QString(int line)> &cells, int count = 86)
{
    QByteArray text;
    for (int n = 1; n <= count; ++n)
        text += QByteArray::number(70 + 5 * n) + ';' + cells(n).toLatin1() + "\r\n";
    return text;
}

// The same with every row unrecorded ("<focal length>;;"), but the lines given here whole.
inline QByteArray camText(const std::map<int, QByteArray> &lines, int count = 86)
{
    QByteArray text;
    for (int n = 1; n <= count; ++n) {
        const auto given = lines.find(n);
        text +=
            (given != lines.end() ? given->second : QByteArray::number(70 + 5 * n) + ";;") + "\r\n";
    }
    return text;
}

} // namespace testsupport
