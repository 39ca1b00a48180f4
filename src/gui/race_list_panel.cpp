#include "gui/race_list_panel.h"

#include "gui/qt_text.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>

namespace sorvantix::gui {

void RaceListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const
{
    QStyledItemDelegate::paint(painter, option, index);
    const QString text = index.data(Qt::DisplayRole).toString();
    const int left = option.rect.left() + 4 + option.fontMetrics.horizontalAdvance(text) + 8;
    QRect rest(left, option.rect.top(), option.rect.right() - left, option.rect.height());
    if (rest.width() <= 0)
        return;
    const bool selected = option.state & QStyle::State_Selected;
    const QColor dim =
        selected ? option.palette.color(QPalette::HighlightedText) : QColor(0x60, 0x60, 0x60);
    painter->save();
    painter->setFont(option.font);
    // "オ" when the odds are stored, "結" when the payouts are merged.
    auto marker = [&](const QString& mark, bool on, QColor colour) {
        const int w = option.fontMetrics.horizontalAdvance(mark) + 2;
        if (on) {
            painter->setPen(selected ? option.palette.color(QPalette::HighlightedText) : colour);
            painter->drawText(rest, Qt::AlignVCenter | Qt::AlignLeft, mark);
        }
        rest.setLeft(rest.left() + w);
    };
    painter->setPen(dim);
    const QString post = index.data(PostTimeRole).toString();
    painter->drawText(rest, Qt::AlignVCenter | Qt::AlignLeft, post);
    rest.setLeft(rest.left() + option.fontMetrics.horizontalAdvance(QStringLiteral("00:00 ")));
    marker(QStringLiteral("オ"), index.data(OddsRole).toBool(), QColor(0x00, 0x40, 0xC0));
    marker(QStringLiteral("結"), index.data(ResultsRole).toBool(), QColor(0xC0, 0x00, 0x00));
    rest.setLeft(rest.left() + 4);
    painter->setPen(dim);
    painter->drawText(rest, Qt::AlignVCenter | Qt::AlignLeft,
                      option.fontMetrics.elidedText(index.data(NameRole).toString(), Qt::ElideRight,
                                                    rest.width()));
    painter->restore();
}

RaceListPanel::RaceListPanel(Workbench& workbench, const bool& updating, QWidget* parent)
    : QWidget(parent), m_wb(workbench), m_updating(updating)
{
    setObjectName(QStringLiteral("Panel13"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* dayRow = new QHBoxLayout;
    m_dateCombo = new QComboBox(this);
    m_dateCombo->setObjectName(QStringLiteral("DateCombo"));
    m_dateCombo->setMaxVisibleItems(36);
    m_dateCombo->setStatusTip(qs("レース日を選びます"));
    connect(m_dateCombo, &QComboBox::activated, this, &RaceListPanel::DateComboChange);
    dayRow->addWidget(m_dateCombo, 1);
    auto* upDown = new QWidget(this);
    upDown->setObjectName(QStringLiteral("UpDown1"));
    auto* upDownLayout = new QHBoxLayout(upDown);
    upDownLayout->setContentsMargins(0, 0, 0, 0);
    upDownLayout->setSpacing(0);
    for (auto [name, arrow, step] : {std::tuple{"UpDown1Prev", Qt::LeftArrow, -1},
                                     std::tuple{"UpDown1Next", Qt::RightArrow, 1}}) {
        auto* b = new QToolButton(upDown);
        b->setObjectName(QString::fromLatin1(name));
        b->setArrowType(arrow);
        b->setStatusTip(qs("前後のレースを選びます"));
        connect(b, &QToolButton::clicked, this, [this, step = step] { UpDown1Click(step); });
        upDownLayout->addWidget(b);
    }
    dayRow->addWidget(upDown);
    layout->addLayout(dayRow);
    auto* timeRow = new QHBoxLayout;
    timeRow->addWidget(new QLabel(qs("時刻:"), this));
    m_timeCombo = new QComboBox(this);
    m_timeCombo->setObjectName(QStringLiteral("TimeCombo"));
    m_timeCombo->setStatusTip(qs("オッズの時刻を選びます"));
    connect(m_timeCombo, &QComboBox::activated, this, &RaceListPanel::TimeComboChange);
    timeRow->addWidget(m_timeCombo, 1);
    m_timeChoice = new QComboBox(this);
    m_timeChoice->setObjectName(QStringLiteral("TimeChoice"));
    m_timeChoice->addItems({qs("既定時刻"), qs("最新")});
    m_timeChoice->setStatusTip(
        qs("レースを既定の時刻で開くか、最新の発表で開いて新しい発表を追うかを選びます"));
    m_timeChoice->setToolTip(m_timeChoice->statusTip());
    connect(m_timeChoice, &QComboBox::activated, this, &RaceListPanel::TimeChoiceClick);
    timeRow->addWidget(m_timeChoice);
    layout->addLayout(timeRow);
    m_datList = new QListWidget(this);
    m_datList->setObjectName(QStringLiteral("DatList"));
    m_datList->setFont(gothicFont(13));
    m_datList->setStatusTip(qs("レースを選びます"));
    m_datList->setItemDelegate(new RaceListDelegate(m_datList));
    connect(m_datList, &QListWidget::currentRowChanged, this, [this](int row) {
        m_rowChangedByClick = !m_updating;
        DatListClick(row);
    });
    // A click on the race already selected selects it again, as the list's click does.
    connect(m_datList, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        if (!m_rowChangedByClick)
            DatListClick(m_datList->row(item));
        m_rowChangedByClick = false;
    });
    layout->addWidget(m_datList, 1);
    m_dlLabel = new QLabel(this);
    m_dlLabel->setObjectName(QStringLiteral("DLlabel"));
    m_dlLabel->setWordWrap(true);
    m_dlLabel->setMinimumHeight(48);
    m_dlLabel->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_dlLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_dlLabel);
    setMinimumWidth(190);
    setMaximumWidth(420);
}

void RaceListPanel::refreshDays()
{
    const WorkbenchState& s = m_wb.state();
    m_dateCombo->clear();
    for (const auto& day : s.DateCombo)
        m_dateCombo->addItem(qs(day));
    m_dateCombo->setCurrentIndex(s.DateComboIndex);
}

void RaceListPanel::refreshRaces()
{
    const WorkbenchState& s = m_wb.state();
    bool same = m_datList->count() == static_cast<int>(s.DatList.size());
    for (int i = 0; same && i < m_datList->count(); ++i)
        same = m_datList->item(i)->text() == qs(s.DatList[static_cast<size_t>(i)].text);
    if (!same) {
        m_datList->clear();
        for (const auto& item : s.DatList)
            m_datList->addItem(qs(item.text));
    }
    // Beside the item text, which stays as it is: post time, what is stored, the name.
    const auto rows = m_wb.raceListRows();
    for (int i = 0; i < m_datList->count() && i < static_cast<int>(rows.size()); ++i) {
        const RaceListRow& row = rows[static_cast<size_t>(i)];
        QListWidgetItem* item = m_datList->item(i);
        item->setData(RaceListDelegate::PostTimeRole, qs(row.postTime));
        item->setData(RaceListDelegate::NameRole, qs(row.name));
        item->setData(RaceListDelegate::OddsRole, row.hasOdds);
        item->setData(RaceListDelegate::ResultsRole, row.hasResults);
        item->setToolTip(qs(row.postTime + "発走  " + row.name +
                            "\nオッズ: " + (row.hasOdds ? "あり" : "なし") +
                            "  結果: " + (row.hasResults ? "あり" : "なし")));
    }
    m_datList->setCurrentRow(s.DatListIndex);
}

void RaceListPanel::TimeChoiceClick(int item)
{
    if (!m_updating)
        m_wb.TimeChoiceClick(item);
}

void RaceListPanel::refreshTimes()
{
    m_timeChoice->setCurrentIndex(m_wb.state().LatestTime ? 1 : 0);
    const WorkbenchState& s = m_wb.state();
    m_timeCombo->clear();
    for (const auto& item : s.TimeCombo)
        m_timeCombo->addItem(qs(item));
    m_timeCombo->setCurrentIndex(s.TimeComboIndex);
}

void RaceListPanel::refreshStatus()
{
    m_dlLabel->setText(qs(m_wb.state().DLlabel));
}

void RaceListPanel::DateComboChange(int index)
{
    if (!m_updating)
        m_wb.DateComboChange(index);
}

void RaceListPanel::DatListClick(int row)
{
    if (!m_updating && row >= 0)
        m_wb.DatListClick(row);
}

void RaceListPanel::TimeComboChange(int index)
{
    if (!m_updating)
        m_wb.TimeComboChange(index);
}

void RaceListPanel::UpDown1Click(int step)
{
    const WorkbenchState& s = m_wb.state();
    const int position = std::clamp(s.UpDown1Position + step, 0, std::max(0, s.UpDown1Max));
    m_wb.UpDown1Click(position);
}

} // namespace sorvantix::gui
