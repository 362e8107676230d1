#include "runlog.h"

#include "base/numbertext.h"
#include "base/result.h"
#include "runin/loglines.h"
#include "runin/timestamp.h"

#include <QStringView>

namespace runlog {

namespace {

QString fromAscii(std::string_view text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

const QString kReached = QStringLiteral("  Position reached: ");
const QString kErrorOpen = QStringLiteral("  POSITION ERROR (");
const QString kErrorClose = QStringLiteral(")  ");
const QString kSeparator = QStringLiteral("  ");

struct Subject
{
    Axis axis;
    TestName test;
};

// The sixteen "<axis><test>" texts the logs can hold, with what each names.
struct NamedSubject
{
    QString text;
    Subject subject;
};

const std::vector<NamedSubject> &subjects()
{
    static const std::vector<NamedSubject> all = [] {
        const std::array testNames{runin::kStepAscending, runin::kStepDescending,
                                   runin::kStrokeAscending, runin::kStrokeDescending};
        std::vector<NamedSubject> named;
        for (std::size_t a = 0; a < runin::kLoggedAxes.size(); ++a)
            for (std::size_t t = 0; t < testNames.size(); ++t)
                named.push_back({fromAscii(runin::kLoggedAxes.at(a)) + fromAscii(testNames.at(t)),
                                 {kAxes.at(a), kTests.at(t)}});
        return named;
    }();
    return all;
}

std::optional<Subject> subjectOf(QStringView text)
{
    for (const NamedSubject &named : subjects())
        if (text == named.text)
            return named.subject;
    return std::nullopt;
}

// The subject that `text` ends with, after two spaces; gives the length of the whole ending.
std::optional<std::pair<Subject, qsizetype>> subjectAtEnd(QStringView text)
{
    for (const NamedSubject &named : subjects()) {
        const qsizetype length = named.text.size() + kSeparator.size();
        if (text.size() >= length && text.endsWith(named.text) &&
            text.mid(text.size() - length, kSeparator.size()) == kSeparator)
            return std::pair{named.subject, length};
    }
    return std::nullopt;
}

// Positions and errors as the controller answered them.
std::optional<double> numberOf(QStringView text)
{
    return base::numberFromText(text.toLatin1().toStdString());
}

class LineReader
{
public:
    explicit LineReader(const QLocale &locale) : m_stamps(locale) {}

    // The entry, or why the line does not read.
    base::Result<Entry> read(const QString &line)
    {
        if (const qsizetype at = line.indexOf(kErrorOpen); at >= 0)
            return errorLine(line, at);
        if (const qsizetype at = line.lastIndexOf(kReached); at >= 0)
            return reachedLine(line, at);
        return base::fail(base::FailureKind::InvalidInput,
                          "neither a position reached nor a position error");
    }

private:
    base::Result<Entry> errorLine(const QString &line, qsizetype at)
    {
        const QStringView rest = QStringView(line).mid(at + kErrorOpen.size());
        const qsizetype close = rest.indexOf(kErrorClose);
        if (close < 0)
            return base::fail(base::FailureKind::InvalidInput,
                              "the position error is not closed by \")  \"");
        const auto subject = subjectOf(rest.mid(close + kErrorClose.size()));
        if (!subject)
            return base::fail(base::FailureKind::InvalidInput,
                              "no axis and test after the position error");
        const auto error = numberOf(rest.left(close));
        if (!error)
            return base::fail(base::FailureKind::InvalidInput,
                              QStringLiteral("the position error \"%1\" is not a number")
                                  .arg(rest.left(close))
                                  .toStdString());
        Entry entry;
        entry.kind = Entry::Kind::Error;
        entry.axis = subject->axis;
        entry.test = subject->test;
        entry.value = error;
        entry.text = line;
        return dated(std::move(entry), QStringView(line).left(at));
    }

    base::Result<Entry> reachedLine(const QString &line, qsizetype at)
    {
        const QStringView position = QStringView(line).mid(at + kReached.size());
        const QStringView head = QStringView(line).left(at);
        const auto subject = subjectAtEnd(head);
        if (!subject)
            return base::fail(base::FailureKind::InvalidInput,
                              "no axis and test before \"Position reached\"");
        Entry entry;
        entry.axis = subject->first.axis;
        entry.test = subject->first.test;
        if (position != fromAscii(base::kNoValue)) {
            entry.value = numberOf(position);
            if (!entry.value)
                return base::fail(base::FailureKind::InvalidInput,
                                  QStringLiteral("the position \"%1\" is not a number")
                                      .arg(position)
                                      .toStdString());
        }
        return dated(std::move(entry), head.left(head.size() - subject->second));
    }

    // The date and time before the rest: "<date>  <time>". Where the texts hold two blanks
    // themselves the split that reads is taken; a stamp that does not read anywhere still leaves
    // the line its other fields.
    base::Result<Entry> dated(Entry entry, QStringView stamp)
    {
        qsizetype first = -1;
        for (qsizetype at = stamp.indexOf(kSeparator); at > 0 && at + 2 < stamp.size();
             at = stamp.indexOf(kSeparator, at + 1)) {
            const runin::Stamp texts{stamp.left(at).toString(),
                                     stamp.mid(at + kSeparator.size()).toString()};
            if (first < 0)
                first = at;
            if (auto moment = m_stamps.read(texts)) {
                entry.moment = moment;
                entry.date = texts.date;
                entry.time = texts.time;
                return entry;
            }
        }
        if (first < 0)
            return base::fail(base::FailureKind::InvalidInput, "no date and time at the start");
        entry.date = stamp.left(first).toString();
        entry.time = stamp.mid(first + kSeparator.size()).toString();
        return entry;
    }

    runin::StampReader m_stamps;
};

} // namespace

QString axisTitle(Axis axis)
{
    static const std::array titles{QStringLiteral("Zoom 1"), QStringLiteral("Zoom 2"),
                                   QStringLiteral("Iris"), QStringLiteral("Focus")};
    return titles.at(static_cast<std::size_t>(axis));
}

QString testTitle(TestName test)
{
    static const std::array titles{
        fromAscii(runin::kStepAscending), fromAscii(runin::kStepDescending),
        fromAscii(runin::kStrokeAscending), fromAscii(runin::kStrokeDescending)};
    return titles.at(static_cast<std::size_t>(test));
}

RunLog readLog(const QByteArray &bytes, const QString &fileName, const QLocale &locale)
{
    RunLog log;
    log.file = fileName;
    LineReader reader(locale);
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        const qsizetype next = end < 0 ? bytes.size() : end + 1;
        if (end < 0)
            end = bytes.size();
        if (end > start && bytes.at(end - 1) == '\r')
            --end;
        const QString line = QString::fromLocal8Bit(bytes.constData() + start, end - start);
        start = next;
        const int number = ++log.lineCount;
        auto read = reader.read(line);
        if (read) {
            read->line = number;
            log.entries.push_back(std::move(read).value());
        } else {
            log.unreadable.push_back(
                {fileName, number, line, QString::fromStdString(read.error())});
        }
    }
    return log;
}

} // namespace runlog
