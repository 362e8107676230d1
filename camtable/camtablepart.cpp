#include "camtablepart.h"

#include "lens/presets.h"
#include "link/channel.h"
#include "ui/controls.h"
#include "ui/dialogs.h"
#include "ui/form.h"
#include "ui/windowstate.h"

#include <QDir>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>

#include <algorithm>

namespace camtable {

namespace {
using ui::Twips;

enum Column { kCheck, kFocalLength, kZoom1, kZoom2 };
constexpr int kColumnWidthsTwips[] = {300, 500, 1100, 1100};

std::string cellText(const QTreeWidgetItem *item, int column)
{
    return item->text(column).toLatin1().toStdString();
}

QString cellText(const std::string &text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}
} // namespace

CamTablePart::CamTablePart(QWidget *form, ui::PartContext context, ZoomSpeeds zoomSpeeds)
    : m_context(std::move(context)), m_zoomSpeeds(std::move(zoomSpeeds))
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
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    const int dpi = ListView1->logicalDpiX();
    for (int column = kCheck; column <= kZoom2; ++column) {
        ListView1->setColumnWidth(column, ui::toPixels(kColumnWidthsTwips[column], dpi));
        if (column != kCheck)
            ListView1->headerItem()->setTextAlignment(column, Qt::AlignCenter);
    }
    ListView1->header()->setStretchLastSection(false);
    ListView1->header()->setSectionsMovable(false);
    ListView1->installEventFilter(this);

    // The program's own changes run with the list's signals blocked, so what arrives here is the
    // operator's doing.
    connect(ListView1, &QTreeWidget::itemChanged, this, &CamTablePart::ListView1_ItemChanged);
    connect(ListView1, &QTreeWidget::itemPressed, this,
            [this] { m_checkChangedSincePress = false; });
    connect(ListView1, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) {
        if (!m_checkChangedSincePress)
            ListView1_ItemClick(item);
    });
    connect(CommandSalva, &QPushButton::clicked, this, &CamTablePart::CommandSalva_Click);
    connect(CommandCarica, &QPushButton::clicked, this, &CamTablePart::CommandCarica_Click);
}

void CamTablePart::fillRows()
{
    const QSignalBlocker blocker(ListView1);
    for (int row = 1; row <= kRowCount; ++row) {
        auto *item = new QTreeWidgetItem(ListView1);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(kCheck, Qt::Unchecked);
        item->setText(kFocalLength, QString::number(lens::focalLengthOfRow(row)));
        for (int column = kFocalLength; column <= kZoom2; ++column)
            item->setTextAlignment(column, Qt::AlignCenter);
    }
}

void CamTablePart::lockFiles(bool locked)
{
    ui::setLocked({CommandSalva, CommandCarica}, locked);
}

void CamTablePart::lockRows(bool locked)
{
    ListView1->setEnabled(!locked);
}

CamRows CamTablePart::rows() const
{
    CamRows rows;
    for (int n = 0; n < ListView1->topLevelItemCount() && n < kRowCount; ++n) {
        const QTreeWidgetItem *item = ListView1->topLevelItem(n);
        rows.at(std::size_t(n)) = {cellText(item, kZoom1), cellText(item, kZoom2)};
    }
    return rows;
}

void CamTablePart::ListView1_ItemChanged(QTreeWidgetItem *item, int column)
{
    if (column != kCheck)
        return;
    m_checkChangedSincePress = true;
    ListView1_ItemCheck(item);
}

void CamTablePart::ListView1_ItemCheck(QTreeWidgetItem *item)
{
    if (item->checkState(kCheck) == Qt::Checked) {
        // Whatever the readout read last, however the axes got there; no line is sent.
        showRow(item, {std::to_string(m_context.state.ActualPosZoom1),
                       std::to_string(m_context.state.ActualPosZoom2)});
        return;
    }
    if (m_context.dialogs.askYesNo("Sei sicuro di voler questa registrazione ?", "Conferma.")) {
        showRow(item, {});
    } else {
        const QSignalBlocker blocker(ListView1);
        item->setCheckState(kCheck, Qt::Checked);
    }
}

void CamTablePart::ListView1_ItemClick(QTreeWidgetItem *item)
{
    const auto speeds = m_zoomSpeeds();
    const auto lines =
        replayLines({cellText(item, kZoom1), cellText(item, kZoom2)},
                    speeds[0].toLatin1().toStdString(), speeds[1].toLatin1().toStdString());
    if (!lines)
        return;
    for (const std::string &line : *lines)
        m_context.channel.SendLine(line);
}

void CamTablePart::CommandSalva_Click()
{
    const CamRows table = rows();
    const QString path = camFilePath();
    const auto saved = saveCamFile(path, table);
    if (!saved) {
        error(saved.error());
        return;
    }
    if (m_recorder == nullptr)
        return;
    const auto recorded =
        std::count_if(table.begin(), table.end(), [](const CamRow &row) { return row.recorded(); });
    // The file is written whatever becomes of the record; a record that cannot be kept is told
    // once the keeper knows, without holding up the window meanwhile.
    m_recorder->keepCamTable(
        QByteArray(saved->data(), qsizetype(saved->size())), int(recorded),
        [part = QPointer<CamTablePart>(this), path](const base::Status &kept) {
            if (part && !kept)
                part->m_context.dialogs.message(
                    QStringLiteral("The cam table was saved to \"%1\" but not kept in the "
                                   "records: %2.")
                        .arg(QDir::toNativeSeparators(path), QString::fromStdString(kept.error())),
                    "Errore", ui::Dialogs::Icon::Warning);
        });
}

void CamTablePart::CommandCarica_Click()
{
    if (!m_context.dialogs.askYesNo("Caricare gli ultimi dati salvati ?", "Conferma."))
        return;
    const auto loaded = loadCamFile(camFilePath());
    if (!loaded) {
        error(loaded.error());
        return;
    }
    const CamRows &rows = *loaded;
    for (int n = 0; n < ListView1->topLevelItemCount() && n < kRowCount; ++n)
        showRow(ListView1->topLevelItem(n), rows.at(std::size_t(n)));
}

void CamTablePart::showRow(QTreeWidgetItem *item, const CamRow &row)
{
    const QSignalBlocker blocker(ListView1);
    item->setText(kZoom1, cellText(row.zoom1));
    item->setText(kZoom2, cellText(row.zoom2));
    item->setCheckState(kCheck, row.recorded() ? Qt::Checked : Qt::Unchecked);
}

void CamTablePart::error(const std::string &message)
{
    m_context.dialogs.message(QString::fromStdString(message), "Errore",
                              ui::Dialogs::Icon::Critical);
}

bool CamTablePart::eventFilter(QObject *watched, QEvent *event)
{
    // The space bar ticks and unticks the current row whichever of its cells has the focus; the
    // list alone would do so only when the check box's own cell is current.
    if (watched == ListView1 && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        QTreeWidgetItem *item = ListView1->currentItem();
        if ((key->key() == Qt::Key_Space || key->key() == Qt::Key_Select) &&
            key->modifiers() == Qt::NoModifier && item != nullptr) {
            item->setCheckState(kCheck, item->checkState(kCheck) == Qt::Checked ? Qt::Unchecked
                                                                                : Qt::Checked);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace camtable
