#include "gui/race_list_panel.h"

#include "gui/qt_text.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace sorvantix::gui {

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
    setMaximumWidth(260);
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
