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
        QWidget *owner;
    };

    void message(QWidget *owner, const QString &text, const QString &title, Icon icon) override
    {
        shown.push_back({text, title, icon, owner});
    }
    bool askYesNo(QWidget *owner, const QString &text, const QString &title) override
    {
        shown.push_back({text, title, Icon::None, owner});
        if (yesNoAnswers.empty())
            return false;
        const bool answer = yesNoAnswers.front();
        yesNoAnswers.pop_front();
        return answer;
    }
    QString inputBox(QWidget *owner, const QString &prompt, const QString &title,
                     const QString &) override
    {
        shown.push_back({prompt, title, Icon::None, owner});
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
