#include "controls.h"

#include "form.h"
#include "wrapbutton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace ui {

namespace {
// The whole face of a check box takes a click, its caption's empty space included.
class CheckBox final : public QCheckBox
{
public:
    using QCheckBox::QCheckBox;

protected:
    [[nodiscard]] bool hitButton(const QPoint &pos) const override { return rect().contains(pos); }
};

// A text box that keeps input methods out: every key press reaches it and the window's key
// preview as a key, none is held back to be composed (a dead key, or the key after it).
class KeysOnlyBox final : public QLineEdit
{
public:
    using QLineEdit::QLineEdit;

    [[nodiscard]] QVariant inputMethodQuery(Qt::InputMethodQuery query) const override
    {
        // A line edit answers this query itself, whatever its input-method attribute says.
        return query == Qt::ImEnabled ? QVariant(false) : QLineEdit::inputMethodQuery(query);
    }
};

template <class Widget> Widget *create(QWidget *parent, const QString &name, Twips at)
{
    auto *widget = new Widget(parent);
    widget->setObjectName(name);
    place(widget, at.left, at.top, at.width, at.height);
    return widget;
}
} // namespace

QLabel *addLabel(QWidget *parent, const QString &name, const QString &caption, Twips at)
{
    return addLabel(parent, name, caption, at, colour::kBlue, colour::kWhite);
}

QLabel *addLabel(QWidget *parent, const QString &name, const QString &caption, Twips at,
                 const QColor &background, const QColor &text)
{
    auto *label = create<QLabel>(parent, name, at);
    label->setText(caption);
    setColours(label, background, text);
    return label;
}

QPushButton *addButton(QWidget *parent, const QString &name, const QString &caption, Twips at)
{
    auto *button = create<WrapButton>(parent, name, at);
    button->setText(caption);
    return button;
}

QPushButton *addButton(QWidget *parent, const QString &name, const QString &caption, Twips at,
                       const QColor &colour)
{
    auto *button = addButton(parent, name, caption, at);
    QPalette palette = button->palette();
    palette.setColor(QPalette::Button, colour);
    button->setPalette(palette);
    return button;
}

QCheckBox *addCheckBox(QWidget *parent, const QString &name, const QString &caption, Twips at)
{
    QCheckBox *box = create<CheckBox>(parent, name, at);
    box->setText(caption);
    setColours(box, colour::kBlue, colour::kWhite);
    return box;
}

QComboBox *addComboBox(QWidget *parent, const QString &name, Twips at)
{
    auto *combo = create<QComboBox>(parent, name, at);
    combo->setEditable(false);
    return combo;
}

QLineEdit *addTextBox(QWidget *parent, const QString &name, const QString &text, Twips at)
{
    auto *box = create<KeysOnlyBox>(parent, name, at);
    box->setAttribute(Qt::WA_InputMethodEnabled, false);
    box->setText(text);
    return box;
}

QGroupBox *addFrame(QWidget *parent, const QString &name, const QString &caption, Twips at)
{
    auto *frame = create<QGroupBox>(parent, name, at);
    frame->setTitle(caption);
    setColours(frame, colour::kBlue, colour::kWhite);
    return frame;
}

QString arrayName(const char *name, int index)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index);
}

void setLocked(std::initializer_list<QWidget *> controls, bool locked)
{
    for (QWidget *control : controls)
        control->setEnabled(!locked);
}

} // namespace ui
