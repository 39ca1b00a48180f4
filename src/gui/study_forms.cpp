#include "gui/study_forms.h"

#include "core/app/live_schedule.h"
#include "core/app/settings_keys.h"
#include "core/app/study_settings.h"
#include "core/store/racing_codes.h"
#include "core/study/money_flow.h"
#include "core/study/race_board.h"
#include "core/text/format.h"
#include "gui/gui_person.h"
#include "gui/qt_text.h"
#include "gui/task_progress.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QListWidget>
#include <QLocale>
#include <QPainter>
#include <QPen>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QSystemTrayIcon>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>

namespace sorvantix::gui {

namespace {

QTableWidget* table(const char* name, const QStringList& headers, QWidget* parent)
{
    auto* t = new QTableWidget(0, static_cast<int>(headers.size()), parent);
    t->setObjectName(QString::fromLatin1(name));
    t->setHorizontalHeaderLabels(headers);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionMode(QAbstractItemView::NoSelection);
    t->verticalHeader()->setVisible(false);
    t->verticalHeader()->setDefaultSectionSize(20);
    t->setFont(gridFont(12));
    t->horizontalHeader()->setFont(gridFont(12));
    return t;
}

QTableWidgetItem* cell(const QString& text, bool right = true)
{
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(right ? (Qt::AlignRight | Qt::AlignVCenter) : Qt::AlignCenter);
    return item;
}

// The selected cell is framed instead of filled, so its colour (the board's upset
// degree) stays readable.
class FramedSelectionDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        QStyleOptionViewItem plain(option);
        const bool selected = option.state & QStyle::State_Selected;
        plain.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
        QStyledItemDelegate::paint(painter, plain, index);
        if (selected) {
            painter->save();
            painter->setPen(QPen(option.palette.color(QPalette::Highlight), 3));
            painter->drawRect(option.rect.adjusted(1, 1, -2, -2));
            painter->restore();
        }
    }
};

QString man(double yen)
{
    return qs(groupedFixed(yen / 10000.0, 1));
}

QString pct(double fraction, int decimals = 2)
{
    return qs(fixed(fraction * 100.0, 0, decimals));
}

QString timeItem(const std::string& key)
{
    return qs(key.substr(0, 2) + "/" + key.substr(2, 2) + " " + key.substr(4, 2) + ":" +
              key.substr(6, 2));
}

} // namespace

// ---------------------------------------------------------------------------------------

FlowTab::FlowTab(Workbench& workbench, QWidget* parent) : QWidget(parent), m_wb(workbench)
{
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    m_from = new QComboBox(this);
    m_from->setObjectName(QStringLiteral("FlowFrom"));
    m_to = new QComboBox(this);
    m_to->setObjectName(QStringLiteral("FlowTo"));
    row->addWidget(new QLabel(qs("発表:"), this));
    row->addWidget(m_from);
    row->addWidget(new QLabel(qs("→"), this));
    row->addWidget(m_to);
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("FlowSummary"));
    row->addWidget(m_summary, 1);
    layout->addLayout(row);
    auto* split = new QSplitter(Qt::Horizontal, this);
    m_runners = table(
        "FlowRunners",
        {qs("馬番"), qs("前(万円)"), qs("流入(万円)"), qs("前ｼｪｱ%"), qs("区間ｼｪｱ%"), qs("比")},
        split);
    m_pairs = table("FlowPairs",
                    {qs("組"), qs("前(万円)"), qs("流入(万円)"), qs("前ｼｪｱ%"), qs("区間ｼｪｱ%"),
                     qs("比"), qs("区間PA比")},
                    split);
    m_runners->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_pairs->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_pairs->setSortingEnabled(false);
    split->setStretchFactor(1, 1);
    split->setSizes({440, 560});
    layout->addWidget(split, 1);
    m_notes = new QLabel(this);
    m_notes->setObjectName(QStringLiteral("FlowNotes"));
    m_notes->setWordWrap(true);
    layout->addWidget(m_notes);
    connect(m_from, &QComboBox::currentIndexChanged, this, &FlowTab::FlowComboChange);
    connect(m_to, &QComboBox::currentIndexChanged, this, &FlowTab::FlowComboChange);
}

void FlowTab::reload()
{
    m_updating = true;
    m_race = m_wb.raceOfItem(m_wb.state().DatListIndex);
    m_from->clear();
    m_to->clear();
    LabelPerson notes(m_notes);
    runGuarded(notes, "FlowTab", [&] {
        if (m_race) {
            const RaceOddsSeries series = RaceOddsSeries::read(*m_race);
            for (const auto& key : series.timeKeys()) {
                m_from->addItem(timeItem(key), qs(key));
                m_to->addItem(timeItem(key), qs(key));
            }
            // By default the last hour of the market.
            const auto [first, last] = defaultFlowWindow(series.timeKeys());
            m_from->setCurrentIndex(first);
            m_to->setCurrentIndex(last);
        }
    });
    m_updating = false;
    FlowComboChange();
}

void FlowTab::FlowComboChange()
{
    if (m_updating)
        return;
    m_runners->setRowCount(0);
    m_pairs->setRowCount(0);
    m_summary->clear();
    if (!m_race || m_from->currentIndex() < 0 || m_to->currentIndex() < 0) {
        m_notes->setText(qs("オッズの発表が二つ以上あるレースを選んでください。"));
        return;
    }
    if (m_from->currentIndex() >= m_to->currentIndex()) {
        m_notes->setText(qs("前の発表を左に選んでください。"));
        return;
    }
    LabelPerson failures(m_notes);
    runGuarded(failures, "FlowTab", [&] {
        const RaceOddsSeries series = RaceOddsSeries::read(*m_race);
        const MoneyFlow f = moneyFlow(series.at(static_cast<size_t>(m_from->currentIndex())),
                                      series.at(static_cast<size_t>(m_to->currentIndex())));
        m_summary->setText(qs(format("単勝 +%s万円  馬連 +%s万円", us(man(f.winInflow())).c_str(),
                                     us(man(f.quinellaInflow())).c_str())));
        auto fill = [](QTableWidget* t, int r, const FlowEntry& e, const QString& name) {
            t->setItem(r, 0, cell(name, false));
            t->setItem(r, 1, cell(man(e.before)));
            t->setItem(r, 2, cell(man(e.inflow)));
            t->setItem(r, 3, cell(pct(e.shareBefore)));
            t->setItem(r, 4, cell(pct(e.shareInterval)));
            t->setItem(r, 5, cell(qs(fixed(e.ratio, 0, 2)) + (e.capped ? qs(" 上限") : QString())));
        };
        m_runners->setRowCount(static_cast<int>(f.runners.size()));
        for (size_t i = 0; i < f.runners.size(); ++i)
            fill(m_runners, static_cast<int>(i), f.runners[i], QString::number(f.runners[i].horse));
        // Marked pairs first, then by the money that came in.
        std::vector<const FlowEntry*> order;
        for (const auto& e : f.pairs)
            order.push_back(&e);
        std::stable_sort(order.begin(), order.end(), [](const FlowEntry* a, const FlowEntry* b) {
            return a->marked != b->marked ? a->marked : a->inflow > b->inflow;
        });
        m_pairs->setRowCount(static_cast<int>(order.size()));
        for (size_t i = 0; i < order.size(); ++i) {
            const int r = static_cast<int>(i);
            fill(m_pairs, r, *order[i],
                 qs(UmarenPairText(order[i]->pair) + (order[i]->marked ? " ◎" : "")));
            m_pairs->setItem(r, 6, cell(qs(fixed(order[i]->intervalPa, 0, 3))));
            if (order[i]->marked)
                for (int c = 0; c < m_pairs->columnCount(); ++c)
                    m_pairs->item(r, c)->setBackground(rgb(0xFFC8FF));
        }
        QString notes = qs("◎ 桃色の組: 区間のｼｪｱが前の" + fixed(kFlowMarkRatio, 0, 1) +
                           "倍以上（区間の馬連の1%以上）。推定 = 票数合計 × 払戻率 ÷ オッズ。");
        for (const auto& n : f.notes)
            notes += QStringLiteral("\n") + qs(n);
        m_notes->setText(notes);
    });
}

// ---------------------------------------------------------------------------------------

BoardWindow::BoardWindow(Workbench& workbench, QWidget* parent) : QDialog(parent), m_wb(workbench)
{
    setObjectName(QStringLiteral("BoardWindow"));
    setWindowTitle(qs("開催一覧"));
    auto* layout = new QVBoxLayout(this);
    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("BoardTitle"));
    m_title->setFont(gothicFont(14, true));
    layout->addWidget(m_title);
    m_grid = new QTableWidget(0, 12, this);
    m_grid->setObjectName(QStringLiteral("BoardGrid"));
    QStringList headers;
    for (int r = 1; r <= 12; ++r)
        headers << QStringLiteral("%1R").arg(r);
    m_grid->setHorizontalHeaderLabels(headers);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setItemDelegate(new FramedSelectionDelegate(m_grid));
    m_grid->setFont(gridFont(12));
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    // Five lines of the cell's text and a margin; a line too long for its cell ends
    // in "…" and the tip holds it whole.
    m_grid->setWordWrap(false);
    m_grid->verticalHeader()->setDefaultSectionSize(QFontMetrics(m_grid->font()).lineSpacing() * 5 +
                                                    8);
    m_grid->verticalHeader()->setFont(gothicFont(13, true));
    layout->addWidget(m_grid, 1);
    auto* legend =
        new QLabel(qs("発走時刻・経過 / 最新の発表時刻・波乱度 / 上位寡占率・特異点の組数 / ★ / ☆。"
                      "色は波乱度（大 桃、中 黄、小 緑）、灰色は分析できないレース。"
                      "太字は★の馬が3着以内に入ったレース。枠はメイン画面のレース。"
                      "ヒントに全文、クリックでメイン画面にそのレースを表示します。"),
                   this);
    legend->setText(legend->text() +
                    qs("1行目は発走時刻と、最新の発表から何分たったか（発走前）、発走済・確定。"
                       "赤字は発走前なのに発表が遅れているレース。"));
    legend->setObjectName(QStringLiteral("BoardLegend"));
    legend->setWordWrap(true);
    layout->addWidget(legend);
    connect(m_grid, &QTableWidget::cellClicked, this, &BoardWindow::BoardGridClick);
    m_listener = m_wb.addListener([this](Parts parts) {
        if (parts.has(Part::Odds) || parts.has(Part::DayList))
            rebuild();
        else if (parts.has(Part::RaceList))
            followShownRace();
    });
    // How old each announcement is grows with the clock.
    auto* ages = new QTimer(this);
    ages->setObjectName(QStringLiteral("BoardAgeTimer"));
    ages->setInterval(20000);
    connect(ages, &QTimer::timeout, this, &BoardWindow::relabel);
    ages->start();
    resize(1180, 420);
    rebuild();
}

BoardWindow::~BoardWindow()
{
    m_wb.removeListener(m_listener);
}

void BoardWindow::rebuild()
{
    m_grid->setRowCount(0);
    m_listIndex.clear();
    m_latestTime.clear();
    m_board.reset();
    auto day = m_wb.loadedDay();
    if (!day) {
        m_title->setText(qs("ﾃﾞｰﾀを読み込んでください。"));
        return;
    }
    LabelPerson title(m_title);
    runGuarded(title, "BoardWindow", [&] {
        const ParamSet set = activeParamSet(m_wb.ini(), m_wb.appDir().userSetFile());
        m_board = buildRaceBoard(m_wb.appDir().root(), *day, set.params);
        m_title->setText(qs(day->text() + "  推奨馬設定: " + set.name));
    });
    relabel();
}

// The cell's first line: the post time and where the race stands, short enough for a
// narrow cell ("13:25 1分前", "12:55 発走済", "10:05 確定").
static std::string boardHeadLine(const BoardCell& race, const BoardLiveness& l)
{
    std::string line = race.postTime.empty() ? std::string("--:--") : race.postTime;
    switch (l.phase) {
    case BoardPhase::Settled:
        return line + " 確定";
    case BoardPhase::Off:
        return line + " 発走済";
    case BoardPhase::Live:
        return line + format(" %d分前", l.ageMinutes) + (l.late ? " 遅れ" : "");
    case BoardPhase::Waiting:
        return line + (l.late ? " 遅れ" : " 発表前");
    }
    return line;
}

void BoardWindow::relabel()
{
    m_grid->setRowCount(0);
    m_listIndex.clear();
    m_latestTime.clear();
    if (!m_board)
        return;
    const RaceBoard& board = *m_board;
    const LocalDateTime now = m_wb.clock().now();
    const LiveSettings live = readLiveSettings(m_wb.ini());
    m_grid->setRowCount(static_cast<int>(board.venues.size()));
    QStringList venues;
    for (size_t v = 0; v < board.venues.size(); ++v) {
        venues << qs(board.venues[v].name);
        m_listIndex.emplace_back(12, -1);
        m_latestTime.emplace_back(12);
        for (int r = 0; r < 12; ++r) {
            const auto& race = board.venues[v].races[static_cast<size_t>(r)];
            if (!race)
                continue;
            m_listIndex[v][static_cast<size_t>(r)] = race->listIndex;
            m_latestTime[v][static_cast<size_t>(r)] = race->latestTime;
            auto list = [](const std::vector<int>& h) {
                std::string s;
                for (int x : h)
                    s += (s.empty() ? "" : ",") + std::to_string(x);
                return s.empty() ? std::string("-") : s;
            };
            const BoardLiveness liveness =
                boardLiveness(*race, now, live.nearMinutes, live.lateMinutes);
            std::string text = boardHeadLine(*race, liveness) + "\n";
            if (race->analysed) {
                text += race->latestTime + " 波乱" + race->upset + "\n" +
                        fixed(race->kasenPercent, 0, 1) + "% 特異点" +
                        std::to_string(race->singularPairs) + "\n★" + list(race->suisho) + "\n☆" +
                        list(race->tokusho);
            } else {
                text += race->problem;
            }
            auto* item = new QTableWidgetItem(qs(text));
            // The whole text where a narrow cell cuts the ★ list.
            std::string tip = board.venues[v].name + std::to_string(r + 1) + "R " + text;
            item->setTextAlignment(Qt::AlignCenter);
            item->setBackground(rgb(race->analysed ? upsetColour(race->upset) : 0xE0E0E0));
            // A race whose odds are late near its post: red letters, and why in the tip.
            if (liveness.late) {
                item->setForeground(rgb(0xC00000));
                tip += format("\n発走%d分前を過ぎて、最新の発表が%d分より古いレースです。",
                              live.nearMinutes, live.lateMinutes);
            }
            // Marked runners that finished in the first three: bold, and named in the tip.
            std::string placed;
            for (int h : race->suisho)
                if (boardFinishColour(*race, h))
                    placed += format(" %d番%d着", h, race->finish[static_cast<size_t>(h)]);
            if (!placed.empty()) {
                QFont bold = gridFont(12, true);
                item->setFont(bold);
                tip += "\n3着以内の★:" + placed;
            }
            item->setToolTip(qs(tip));
            m_grid->setItem(static_cast<int>(v), r, item);
        }
    }
    m_grid->setVerticalHeaderLabels(venues);
    followShownRace();
}

void BoardWindow::followShownRace()
{
    const int shown = m_wb.state().DatListIndex;
    for (size_t v = 0; v < m_listIndex.size(); ++v)
        for (size_t r = 0; r < m_listIndex[v].size(); ++r)
            if (shown >= 0 && m_listIndex[v][r] == shown) {
                const QSignalBlocker quiet(m_grid);
                m_grid->setCurrentCell(static_cast<int>(v), static_cast<int>(r));
                return;
            }
    m_grid->clearSelection();
}

void BoardWindow::BoardGridClick(int row, int column)
{
    if (row < 0 || static_cast<size_t>(row) >= m_listIndex.size() || column < 0 || column >= 12)
        return;
    const int index = m_listIndex[static_cast<size_t>(row)][static_cast<size_t>(column)];
    // The race opens at the announcement the board shows.
    if (index >= 0)
        m_wb.showRaceAtTime(index,
                            m_latestTime[static_cast<size_t>(row)][static_cast<size_t>(column)]);
}

// ---------------------------------------------------------------------------------------

BacktestWindow::BacktestWindow(Workbench& workbench, Person& person, QWidget* parent)
    : QDialog(parent), m_wb(workbench), m_person(person)
{
    setObjectName(QStringLiteral("BacktestWindow"));
    setWindowTitle(qs("検証"));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* form = new QFormLayout;
    m_from = new QComboBox(this);
    m_from->setObjectName(QStringLiteral("FromCombo"));
    m_to = new QComboBox(this);
    m_to->setObjectName(QStringLiteral("ToCombo"));
    for (const DayName& d : archivedDays(m_wb.appDir().root())) {
        m_from->addItem(qs(d.text()), qs(d.digits()));
        m_to->addItem(qs(d.text()), qs(d.digits()));
    }
    m_to->setCurrentIndex(m_to->count() - 1);
    form->addRow(qs("開始日:"), m_from);
    form->addRow(qs("終了日:"), m_to);
    auto* decision = new QHBoxLayout;
    m_decision = new QComboBox(this);
    m_decision->setObjectName(QStringLiteral("DecisionCombo"));
    m_decision->addItems({qs("自動取得時刻"), qs("既定表示時刻"), qs("発走前（分）")});
    m_minutes = new QSpinBox(this);
    m_minutes->setObjectName(QStringLiteral("MinutesEdit"));
    m_minutes->setRange(0, 600);
    m_minutes->setValue(10);
    m_minutes->setEnabled(false);
    connect(m_decision, &QComboBox::currentIndexChanged, this,
            [this](int i) { m_minutes->setEnabled(i == 2); });
    decision->addWidget(m_decision);
    decision->addWidget(m_minutes);
    form->addRow(qs("判断時刻:"), decision);
    top->addLayout(form);
    m_sets = new QListWidget(this);
    m_sets->setObjectName(QStringLiteral("SetList"));
    m_sets->setMaximumHeight(90);
    const int active = readSetting(m_wb.ini(), settings::kSetID);
    std::vector<std::string> names{"既定値"};
    try {
        for (const auto& line : readUserSetLines(m_wb.appDir().userSetFile()))
            names.push_back(suishoLineName(line));
    } catch (const std::exception&) {
        // The parameter window says what is wrong with the file; the built-in set stays.
    }
    for (size_t i = 0; i < names.size(); ++i) {
        auto* item = new QListWidgetItem(qs(names[i]), m_sets);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(static_cast<int>(i) == active ? Qt::Checked : Qt::Unchecked);
    }
    auto* sets = new QVBoxLayout;
    sets->addWidget(new QLabel(qs("推奨馬設定（比べる組を選ぶ）:"), this));
    sets->addWidget(m_sets);
    top->addLayout(sets, 1);
    m_run = new QPushButton(qs("実行"), this);
    m_run->setObjectName(QStringLiteral("RunBtn"));
    connect(m_run, &QPushButton::clicked, this, &BacktestWindow::RunBtnClick);
    top->addWidget(m_run, 0, Qt::AlignBottom);
    layout->addLayout(top);
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("SummaryLabel"));
    m_summary->setWordWrap(true);
    layout->addWidget(m_summary);
    auto* split = new QSplitter(Qt::Vertical, this);
    m_table = table("ResultGrid",
                    {qs("設定"), qs("区分"), qs("レース"), qs("点数"), qs("的中"), qs("的中率%"),
                     qs("投資額"), qs("払戻額"), qs("回収率%"), qs("95%区間"), qs("最長連敗")},
                    split);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto* chart = new QChart;
    chart->legend()->setAlignment(Qt::AlignRight);
    chart->legend()->setFont(gothicFont(11));
    chart->setTitleFont(gothicFont(13, true));
    m_chart = new QChartView(chart, split);
    m_chart->setObjectName(QStringLiteral("ReturnChart"));
    m_chart->setRenderHint(QPainter::Antialiasing);
    split->setStretchFactor(1, 1);
    layout->addWidget(split, 1);
    resize(1000, 760);
}

void BacktestWindow::RunBtnClick()
{
    guarded(m_person, [&] {
        auto d =
            Decision::parse(m_decision->currentIndex() == 0   ? "auto"
                            : m_decision->currentIndex() == 1 ? "default"
                                                              : std::to_string(m_minutes->value()));
        BacktestOptions options;
        options.decision = decisionWithSettings(*d, m_wb.ini());
        std::vector<std::string> warnings;
        for (int i = 0; i < m_sets->count(); ++i)
            if (m_sets->item(i)->checkState() == Qt::Checked)
                options.sets.push_back(paramSet(i, m_wb.appDir().userSetFile(), &warnings));
        if (options.sets.empty()) {
            m_person.information("推奨馬設定を一つ以上選んでください。");
            return;
        }
        auto day = [](QComboBox* c) {
            return c->currentIndex() < 0 ? std::optional<DayName>()
                                         : DayName::fromDigits(us(c->currentData().toString()));
        };
        // On the queue: the window repaints, the bar moves and 中止 stops it.
        auto report = std::make_shared<BacktestReport>();
        AcquisitionRequests::TaskWork work =
            [report, root = m_wb.appDir().root(), from = day(m_from), to = day(m_to),
             options](Progress& progress, const std::atomic<bool>& cancel) {
                *report = runBacktest(
                    root, from, to, options,
                    [&progress](int done, int total) { progress.progress(done, total); }, &cancel);
            };
        QPointer<BacktestWindow> self(this);
        m_run->setEnabled(false);
        const bool queued = runLongTask(
            this, m_wb, m_person, "検証", qs("検証しています…"), std::move(work),
            [self, report, warnings](RequestOutcome::End end) {
                if (!self)
                    return;
                self->m_run->setEnabled(true);
                if (end == RequestOutcome::End::Failed)
                    return;
                report->warnings.insert(report->warnings.begin(), warnings.begin(), warnings.end());
                if (end == RequestOutcome::End::Cancelled)
                    report->warnings.insert(report->warnings.begin(),
                                            "中止しました（途中までの集計です）");
                self->show(*report);
            });
        if (!queued)
            m_run->setEnabled(true);
    });
}

void BacktestWindow::show(const BacktestReport& r)
{
    m_report = r;
    QString summary =
        qs(format("%s  %s-%s  %d日 %dレース中 %zuレースを検証（オッズなし %d、払戻なし %d、"
                  "時点なし %d、読めない %d）。1点100円、95%%区間はレースの復元抽出 %s。",
                  r.decisionLabel.c_str(), r.from.c_str(), r.to.c_str(), r.days, r.racesSeen,
                  r.raceKeys.size(), r.racesNoOdds, r.racesNoPayouts, r.racesNoDecision,
                  r.racesUnreadable, "1000回"));
    if (!r.warnings.empty())
        summary += qs(format("  注意 %zu件: ", r.warnings.size()) + r.warnings.front());
    m_summary->setText(summary);
    m_table->setRowCount(0);
    for (const auto& set : r.sets) {
        for (int c = 0; c <= kBetCategories; ++c) {
            const CategoryStats& s =
                c < kBetCategories ? set.categories[static_cast<size_t>(c)] : set.total;
            const int row = m_table->rowCount();
            m_table->insertRow(row);
            m_table->setItem(row, 0, cell(qs(set.name), false));
            m_table->setItem(row, 1,
                             cell(qs(c < kBetCategories ? std::string(betCategoryCaption(
                                                              static_cast<BetCategory>(c)))
                                                        : std::string("合計")),
                                  false));
            m_table->setItem(row, 2, cell(QString::number(s.races)));
            m_table->setItem(row, 3, cell(QString::number(s.bets)));
            m_table->setItem(row, 4, cell(QString::number(s.hits)));
            m_table->setItem(row, 5, cell(pct(s.hitRate(), 1)));
            // Money reads as money in our own windows: "1,596,500円".
            m_table->setItem(row, 6, cell(qs(grouped(s.stake) + "円")));
            m_table->setItem(row, 7, cell(qs(grouped(s.returned) + "円")));
            m_table->setItem(row, 8, cell(pct(s.roi(), 1)));
            m_table->setItem(row, 9,
                             cell(pct(s.roiLow, 1) + QStringLiteral("-") + pct(s.roiHigh, 1)));
            m_table->setItem(row, 10, cell(QString::number(s.longestLosingRun)));
            const std::uint32_t colour = s.stake == 0     ? 0xFFFFFF
                                         : s.roi() >= 1.0 ? 0xC8FFC8
                                                          : 0xFFFFFF;
            for (int col = 0; col < m_table->columnCount(); ++col)
                m_table->item(row, col)->setBackground(
                    rgb(c == kBetCategories ? 0xFFFF80 : colour));
        }
    }
    QChart* chart = m_chart->chart();
    chart->removeAllSeries();
    for (QAbstractAxis* axis : chart->axes())
        chart->removeAxis(axis), delete axis;
    chart->setTitle(qs("累積収支（円）  " + r.decisionLabel));
    static const std::uint32_t kColours[] = {0xd62728, 0xff7f0e, 0x1f77b4, 0x2ca02c,
                                             0x9467bd, 0x8c564b, 0xe377c2};
    auto* x = new QValueAxis;
    x->setTitleText(qs("レース"));
    x->setLabelFormat(QStringLiteral("%.0f"));
    auto* y = new QValueAxis;
    y->setLabelFormat(QStringLiteral("%.0f"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    double lo = 0, hi = 0;
    for (size_t s = 0; s < r.sets.size(); ++s) {
        for (size_t c = 0; c < kBetCategories; ++c) {
            if (r.sets[s].categories[c].bets == 0)
                continue;
            auto* series = new QLineSeries;
            std::string name(betCategoryCaption(static_cast<BetCategory>(c)));
            series->setName(qs(r.sets.size() > 1 ? r.sets[s].name + ": " + name : name));
            QPen pen(rgb(kColours[c]));
            pen.setWidthF(1.5);
            if (s > 0)
                pen.setStyle(s == 1 ? Qt::DashLine : Qt::DotLine);
            series->setPen(pen);
            const auto& v = r.sets[s].cumulative[c];
            for (size_t i = 0; i < v.size(); ++i) {
                series->append(double(i + 1), double(v[i]));
                lo = std::min(lo, double(v[i]));
                hi = std::max(hi, double(v[i]));
            }
            chart->addSeries(series);
            series->attachAxis(x);
            series->attachAxis(y);
        }
    }
    x->setRange(1, std::max<double>(2, double(r.raceKeys.size())));
    y->setRange(lo - 500, hi + 500);
    // Round ticks, written with thousands separators like the table's money.
    y->applyNiceNumbers();
    chart->setLocale(QLocale(QLocale::Japanese, QLocale::Japan));
    chart->setLocalizeNumbers(true);
}

// ---------------------------------------------------------------------------------------

AlertSettingsDialog::AlertSettingsDialog(const TIniGT& ini, Person& person, QWidget* parent)
    : QDialog(parent), m_ini(ini), m_person(person)
{
    setObjectName(QStringLiteral("AlertSettingsDialog"));
    setWindowTitle(qs("アラート設定"));
    const AlertSettings s = readAlertSettings(ini);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(qs("ｵｯｽﾞ自動取得で新しい発表が届いたとき、前の発表と比べて知らせます。"), this));
    m_singular = new QCheckBox(qs("新しい特異点の組"), this);
    m_singular->setObjectName(QStringLiteral("SingularCheck"));
    m_singular->setChecked(s.singularPair);
    m_tokusho = new QCheckBox(qs("新しい特奨馬（☆）"), this);
    m_tokusho->setObjectName(QStringLiteral("TokushoCheck"));
    m_tokusho->setChecked(s.tokusho);
    layout->addWidget(m_singular);
    layout->addWidget(m_tokusho);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(qs("PA比がこの値を超えたとき（0 = 知らせない）:"), this));
    m_level = new QDoubleSpinBox(this);
    m_level->setObjectName(QStringLiteral("PaLevelEdit"));
    m_level->setRange(0, 99);
    m_level->setDecimals(2);
    m_level->setSingleStep(0.1);
    m_level->setValue(s.paLevel);
    row->addWidget(m_level);
    layout->addLayout(row);

    m_settings = s;
    m_drop = new QCheckBox(qs("オッズの急落（前の発表からこの割合以上、かつ下限以上下がったとき）"),
                           this);
    m_drop->setObjectName(QStringLiteral("DropCheck"));
    m_drop->setChecked(s.oddsDrop);
    layout->addWidget(m_drop);
    auto* drops = new QGridLayout;
    const DropLevels* levels[2] = {&s.winDrop, &s.quinellaDrop};
    const char* names[2] = {"単勝", "馬連"};
    drops->addWidget(new QLabel(qs("前のオッズ"), this), 0, 0);
    drops->addWidget(new QLabel(qs("下限（倍）"), this), 0, 4);
    for (int kind = 0; kind < 2; ++kind) {
        const DropLevels& l = *levels[kind];
        const int row0 = 1 + kind * 2;
        drops->addWidget(new QLabel(qs(names[kind]), this), row0, 0, 2, 1);
        const QString bands[3] = {qs(format("%.0f倍未満", l.bandEdges[0])),
                                  qs(format("%.0f〜%.0f倍", l.bandEdges[0], l.bandEdges[1])),
                                  qs(format("%.0f倍以上", l.bandEdges[1]))};
        for (int b = 0; b < 3; ++b) {
            drops->addWidget(new QLabel(bands[b], this), row0, 1 + b);
            auto* percent = new QSpinBox(this);
            percent->setObjectName(QStringLiteral("DropPercent%1_%2").arg(kind).arg(b));
            percent->setRange(1, 99);
            percent->setSuffix(QStringLiteral(" %"));
            percent->setValue(static_cast<int>(l.percent[b] + 0.5));
            drops->addWidget(percent, row0 + 1, 1 + b);
            m_dropPercent[static_cast<size_t>(kind)][static_cast<size_t>(b)] = percent;
        }
        auto* floor = new QDoubleSpinBox(this);
        floor->setObjectName(QStringLiteral("DropFloor%1").arg(kind));
        floor->setRange(0, 9999);
        floor->setDecimals(1);
        floor->setSingleStep(0.1);
        floor->setValue(l.floor);
        drops->addWidget(floor, row0 + 1, 4);
        m_dropFloor[static_cast<size_t>(kind)] = floor;
    }
    layout->addLayout(drops);
    layout->addWidget(new QLabel(qs("知らせはデスクトップ通知、ステータスバー、その日のアラートログ"
                                    "（Alert フォルダ）に出ます。"),
                                 this));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &AlertSettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void AlertSettingsDialog::accept()
{
    AlertSettings s = m_settings;
    s.singularPair = m_singular->isChecked();
    s.tokusho = m_tokusho->isChecked();
    s.paLevel = m_level->value();
    s.oddsDrop = m_drop->isChecked();
    DropLevels* levels[2] = {&s.winDrop, &s.quinellaDrop};
    for (size_t kind = 0; kind < 2; ++kind) {
        for (size_t b = 0; b < 3; ++b)
            levels[kind]->percent[b] = m_dropPercent[kind][b]->value();
        levels[kind]->floor = m_dropFloor[kind]->value();
    }
    const bool saved = guarded(m_person, [&] { writeAlertSettings(m_ini, s); });
    if (saved)
        QDialog::accept();
}

QString notifyDesktop(QWidget* owner, const QString& title, const QString& body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString service = QStringLiteral("org.freedesktop.Notifications");
    if (bus.isConnected() && bus.interface() && bus.interface()->isServiceRegistered(service)) {
        QDBusInterface notifications(service, QStringLiteral("/org/freedesktop/Notifications"),
                                     service, bus);
        QDBusMessage reply =
            notifications.call(QStringLiteral("Notify"), QStringLiteral("Sorvantix"), 0u, QString(),
                               title, body, QStringList(), QVariantMap(), 10000);
        if (reply.type() != QDBusMessage::ErrorMessage)
            return QStringLiteral("dbus");
    }
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        // Guarded: the icon goes with the window that owns it, and a later window makes
        // its own.
        static QPointer<QSystemTrayIcon> tray;
        if (!tray) {
            tray = new QSystemTrayIcon(QApplication::windowIcon(), owner);
            tray->show();
        }
        tray->showMessage(title, body);
        return QStringLiteral("tray");
    }
    return QString();
}

} // namespace sorvantix::gui
