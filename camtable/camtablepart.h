#pragma once

#include "ui/partcontext.h"

#include <QObject>

class QPushButton;
class QTreeWidget;
class QWidget;

namespace camtable {

inline constexpr int kRowCount = 86; // one row per focal length, 75 mm to 500 mm

// The zoom cam table: the positions of both zoom motors for each focal length, recorded from the
// readout, replayed on the controller and kept in a file.
class CamTablePart : public QObject
{
    Q_OBJECT
public:
    CamTablePart(QWidget *form, ui::PartContext context);

    // Creates the 86 empty rows, one per focal length.
    void fillRows();

    void setLocked(bool locked);

    QPushButton *CommandSalva;
    QPushButton *CommandCarica;
    QTreeWidget *ListView1;

private:
    ui::PartContext m_context;
};

} // namespace camtable
