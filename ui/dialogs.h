#pragma once

#include <QString>

class QWidget;

namespace ui {

// The modal boxes the program asks and tells through. Tests replace them with a recorder.
class Dialogs
{
public:
    enum class Icon { None, Information, Warning, Critical };

    virtual ~Dialogs() = default;

    // A message with one OK button; returns when it is dismissed.
    virtual void message(const QString &text, const QString &title, Icon icon) = 0;

    // Yes and No, Yes the default, no icon. True for Yes.
    virtual bool askYesNo(const QString &text, const QString &title) = 0;

    // The typed text, or the empty text when the operator cancels.
    virtual QString inputBox(const QString &prompt, const QString &title,
                             const QString &defaultText) = 0;
};

// The real boxes, modal to `parent`.
class QtDialogs final : public Dialogs
{
public:
    explicit QtDialogs(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }

    void message(const QString &text, const QString &title, Icon icon) override;
    bool askYesNo(const QString &text, const QString &title) override;
    QString inputBox(const QString &prompt, const QString &title,
                     const QString &defaultText) override;

private:
    QWidget *m_parent;
};

} // namespace ui
