#pragma once

#include "camfile.h"
#include "camrecorder.h"

#include "ui/partcontext.h"

#include <QObject>
#include <QString>

#include <array>
#include <functional>

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace camtable {

// The current texts of the jog speed boxes of Zoom 1 and Zoom 2, which a replay sends unchanged.
using ZoomSpeeds = std::function<std::array<QString, 2>()>;

// The zoom cam table: the positions of both zoom motors for each focal length, recorded from the
// readout, replayed on the controller and kept in a file.
class CamTablePart : public QObject
{
    Q_OBJECT
public:
    CamTablePart(QWidget *form, ui::PartContext context, ZoomSpeeds zoomSpeeds);

    // Creates the 86 empty rows, one per focal length.
    void fillRows();

    // Keeps every saved table as a record from now on; none when null.
    void setRecorder(CamRecorder *recorder) { m_recorder = recorder; }
    // Takes saving and loading away (`locked`) or gives them back; the rows may stay locked
    // meanwhile, so that the table reaches the disk without moving the lens.
    void lockFiles(bool locked);
    // Takes the rows away or gives them back.
    void lockRows(bool locked);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    // The operator ticked or unticked `item`: record the last zoom positions, or ask and clear.
    void ListView1_ItemCheck(QTreeWidgetItem *item);
    // The operator clicked `item` anywhere but on its check box: replay its positions.
    void ListView1_ItemClick(QTreeWidgetItem *item);
    void CommandSalva_Click();
    void CommandCarica_Click();

private:
    void ListView1_ItemChanged(QTreeWidgetItem *item, int column);
    // The position cells of every row, as they stand.
    [[nodiscard]] CamRows rows() const;
    // Sets cells and marks without counting them as the operator's.
    void showRow(QTreeWidgetItem *item, const CamRow &row);
    void error(const std::string &message);

    QPushButton *CommandSalva;
    QPushButton *CommandCarica;
    QTreeWidget *ListView1;

    ui::PartContext m_context;
    ZoomSpeeds m_zoomSpeeds;
    CamRecorder *m_recorder = nullptr;
    // Set when the operator changes a check mark, cleared by the next mouse press: the click that
    // toggled a check box is not also a click on its row.
    bool m_checkChangedSincePress = false;
};

} // namespace camtable
