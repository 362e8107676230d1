#pragma once

#include <QColor>
#include <QString>

#include <initializer_list>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// Builders for the window's controls: each gets its given name as object name and its place in
// twips. Frames and labels are blue with white text unless told otherwise.
namespace ui {

struct Twips
{
    int left;
    int top;
    int width;
    int height;
};

QLabel *addLabel(QWidget *parent, const QString &name, const QString &caption, Twips at);
QLabel *addLabel(QWidget *parent, const QString &name, const QString &caption, Twips at,
                 const QColor &background, const QColor &text);
QPushButton *addButton(QWidget *parent, const QString &name, const QString &caption, Twips at);
QPushButton *addButton(QWidget *parent, const QString &name, const QString &caption, Twips at,
                       const QColor &colour);
QCheckBox *addCheckBox(QWidget *parent, const QString &name, const QString &caption, Twips at);
QComboBox *addComboBox(QWidget *parent, const QString &name, Twips at);
// A text box on which no input method composes: every key press arrives as a key, so that the
// window's key preview counts each one for the service code (a dead key, and the key after it,
// would otherwise be held back to be composed and never seen).
QLineEdit *addTextBox(QWidget *parent, const QString &name, const QString &text, Twips at);
QGroupBox *addFrame(QWidget *parent, const QString &name, const QString &caption, Twips at);

// "Name(3)": the object name of element 3 of a control array.
QString arrayName(const char *name, int index);

// Takes `controls` away (`locked`) or gives them back, one after the other in the order given.
void setLocked(std::initializer_list<QWidget *> controls, bool locked);

} // namespace ui
