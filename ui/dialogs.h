#pragma once

#include <QString>

class QWidget;

namespace ui {

// The modal boxes the program asks and tells through. Tests replace them with a recorder.
// Every box belongs to the window that raised it, its owner: modal to it and centred on it.
class Dialogs
{
public:
    enum class Icon { None, Information, Warning, Critical };

    virtual ~Dialogs() = default;

    // A message with one OK button; returns when it is dismissed.
    virtual void message(QWidget *owner, const QString &text, const QString &title, Icon icon) = 0;

    // Yes and No, Yes the default, no icon. True for Yes.
    virtual bool askYesNo(QWidget *owner, const QString &text, const QString &title) = 0;

    // The typed text, or the empty text when the operator cancels.
    virtual QString inputBox(QWidget *owner, const QString &prompt, const QString &title,
                             const QString &defaultText) = 0;
};

// The boxes of one window: each one it raises is owned by that window.
class WindowDialogs
{
public:
    WindowDialogs(Dialogs &dialogs, QWidget *window) : m_dialogs(&dialogs), m_window(window) {}

    void message(const QString &text, const QString &title, Dialogs::Icon icon) const
    {
        m_dialogs->message(m_window, text, title, icon);
    }
    [[nodiscard]] bool askYesNo(const QString &text, const QString &title) const
    {
        return m_dialogs->askYesNo(m_window, text, title);
    }
    [[nodiscard]] QString inputBox(const QString &prompt, const QString &title,
                                   const QString &defaultText) const
    {
        return m_dialogs->inputBox(m_window, prompt, title, defaultText);
    }

private:
    Dialogs *m_dialogs;
    QWidget *m_window;
};

// The real boxes.
class QtDialogs final : public Dialogs
{
public:
    void message(QWidget *owner, const QString &text, const QString &title, Icon icon) override;
    bool askYesNo(QWidget *owner, const QString &text, const QString &title) override;
    QString inputBox(QWidget *owner, const QString &prompt, const QString &title,
                     const QString &defaultText) override;
};

} // namespace ui
