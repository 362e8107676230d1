#pragma once

#include "ui/dialogs.h"

#include <QStringList>

#include <deque>

namespace testsupport {

// Modal boxes that return at once: messages are recorded, answers come from a queue.
class RecordingDialogs final : public ui::Dialogs
{
public:
    struct Shown
    {
        QString text;
        QString title;
        Icon icon;
    };

    void message(const QString &text, const QString &title, Icon icon) override
    {
        shown.push_back({text, title, icon});
    }
    bool askYesNo(const QString &text, const QString &title) override
    {
        shown.push_back({text, title, Icon::None});
        if (yesNoAnswers.empty())
            return false;
        const bool answer = yesNoAnswers.front();
        yesNoAnswers.pop_front();
        return answer;
    }
    QString inputBox(const QString &prompt, const QString &title, const QString &) override
    {
        shown.push_back({prompt, title, Icon::None});
        if (inputAnswers.empty())
            return {};
        QString answer = inputAnswers.front();
        inputAnswers.pop_front();
        return answer;
    }

    std::vector<Shown> shown;
    std::deque<bool> yesNoAnswers;
    std::deque<QString> inputAnswers;
};

} // namespace testsupport
