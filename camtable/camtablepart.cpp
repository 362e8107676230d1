#include "camtablepart.h"

#include "lens/presets.h"
#include "ui/controls.h"
#include "ui/form.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>

namespace camtable {

namespace {
using ui::Twips;

enum Column { kCheck, kFocalLength, kZoom1, kZoom2 };
constexpr int kColumnWidthsTwips[] = {300, 500, 1100, 1100};
} // namespace

CamTablePart::CamTablePart(QWidget *form, ui::PartContext context)
    : QObject(form), m_context(std::move(context))
{
    CommandSalva = ui::addButton(form, "CommandSalva", "Salva Valori", Twips{9360, 120, 1575, 855},
                                 ui::colour::kLightBlue);
    CommandCarica = ui::addButton(form, "CommandCarica", "Carica ultimi valori salvati",
                                  Twips{9360, 3240, 1575, 855}, ui::colour::kLightBlue);

    ListView1 = new QTreeWidget(form);
    ListView1->setObjectName("ListView1");
    ui::place(ListView1, 11160, 120, 3375, 8535);
    ListView1->setColumnCount(4);
    ListView1->setHeaderLabels({QString(), "F.L.", "Pos Zoom 1", "Pos Zoom 2"});
    ListView1->setRootIsDecorated(false);
    ListView1->setIndentation(0);
    ListView1->setUniformRowHeights(true);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setAllColumnsShowFocus(true);
    const int dpi = ListView1->logicalDpiX();
    for (int column = kCheck; column <= kZoom2; ++column) {
        ListView1->setColumnWidth(column, ui::toPixels(kColumnWidthsTwips[column], dpi));
        if (column != kCheck)
            ListView1->headerItem()->setTextAlignment(column, Qt::AlignCenter);
    }
    ListView1->header()->setStretchLastSection(false);
    ListView1->header()->setSectionsMovable(false);
}

void CamTablePart::fillRows()
{
    for (int row = 1; row <= kRowCount; ++row) {
        auto *item = new QTreeWidgetItem(ListView1);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(kCheck, Qt::Unchecked);
        item->setText(kFocalLength, QString::number(lens::focalLengthAt(row - 1)));
        for (int column = kFocalLength; column <= kZoom2; ++column)
            item->setTextAlignment(column, Qt::AlignCenter);
    }
}

void CamTablePart::setLocked(bool locked)
{
    CommandSalva->setEnabled(!locked);
    CommandCarica->setEnabled(!locked);
    ListView1->setEnabled(!locked);
}

} // namespace camtable
