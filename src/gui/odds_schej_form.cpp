#include "gui/odds_schej_form.h"

#include "core/app/odds_schedule.h"
#include "core/app/workbench.h"
#include "core/present/cell_colours.h"
#include "gui/grid_view.h"
#include "gui/page_painter.h"
#include "gui/print_preview_form.h"
#include "gui/qt_text.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <tuple>

namespace sorvantix::gui {

TOddsSchejFormWindow::TOddsSchejFormWindow(Workbench& workbench, Person& person,
                                           TOddsSchejForm form, QWidget* parent)
    : QDialog(parent), m_wb(workbench), m_person(person),
      m_form(std::make_unique<TOddsSchejForm>(std::move(form)))
{
    setObjectName(QStringLiteral("TOddsSchejForm"));
    setWindowTitle(qs(schedule::kCaption));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    auto* date = new QLabel(qs(m_form->DateLabel()), this);
    date->setObjectName(QStringLiteral("DateLabel"));
    date->setFont(gothicFont(15, true));
    left->addWidget(date);
    auto* instruction = new QLabel(qs(schedule::kInstruction), this);
    instruction->setWordWrap(true);
    left->addWidget(instruction);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("CheckListBox1"));
    m_list->setFont(gothicFont(13));
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (!m_updating)
            m_form->setChecked(m_list->row(item), item->checkState() == Qt::Checked);
    });
    connect(m_list, &QListWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        QAction* all = menu.addAction(qs(schedule::kCheckAll));
        all->setObjectName(QStringLiteral("N1"));
        QAction* none = menu.addAction(qs(schedule::kUncheckAll));
        none->setObjectName(QStringLiteral("N2"));
        QAction* chosen = menu.exec(m_list->mapToGlobal(at));
        if (chosen == all)
            N1Click();
        else if (chosen == none)
            N2Click();
    });
    left->addWidget(m_list, 1);
    // The pop-up menu's two commands as buttons too, where a person looks for them.
    auto* checks = new QHBoxLayout;
    for (auto [name, caption, slot] :
         {std::tuple{"CheckAllBtn", schedule::kCheckAll, &TOddsSchejFormWindow::N1Click},
          std::tuple{"UncheckAllBtn", schedule::kUncheckAll, &TOddsSchejFormWindow::N2Click}}) {
        auto* b = new QPushButton(qs(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        connect(b, &QPushButton::clicked, this, slot);
        checks->addWidget(b);
    }
    left->addLayout(checks);
    auto* kind = new QGroupBox(qs(schedule::kKindCaption), this);
    kind->setObjectName(QStringLiteral("RadioGroup1"));
    auto* kindLayout = new QHBoxLayout(kind);
    m_kind = new QButtonGroup(kind);
    int id = 0;
    for (std::string_view item : {schedule::kSeriesItem, schedule::kFlashItem}) {
        auto* b = new QRadioButton(qs(item), kind);
        m_kind->addButton(b, id++);
        kindLayout->addWidget(b);
    }
    connect(m_kind, &QButtonGroup::idClicked, this,
            [this](int index) { m_form->setRadioGroup1(index); });
    left->addWidget(kind);
    m_fetch = new QPushButton(qs(schedule::kFetchButton), this);
    m_fetch->setObjectName(QStringLiteral("OzGetBtn"));
    connect(m_fetch, &QPushButton::clicked, this, &TOddsSchejFormWindow::OzGetBtnClick);
    left->addWidget(m_fetch);
    layout->addLayout(left);

    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel(qs(schedule::kGridHeading), this));
    m_gridModel = new TextGridModel(
        m_form->StringGrid1(),
        [](int column, int row) {
            switch (StringGrid1CellColour(column, row)) {
            case ScheduleCellColour::InfoTip:
                return CellStyle{CellStyle::Fill::InfoBackground};
            case ScheduleCellColour::White:
                return CellStyle::colour(colours::White);
            case ScheduleCellColour::LightCyan:
                return CellStyle::colour(0xC1FFFF);
            case ScheduleCellColour::GridDefault:
                break;
            }
            return row == 0 ? CellStyle::colour(colours::Silver) : CellStyle{};
        },
        this);
    m_grid = new GridView(m_gridModel, gothicFont(13),
                          {schedule::kColumnWidths[0], schedule::kColumnWidths[1],
                           schedule::kColumnWidths[2], schedule::kColumnWidths[3]},
                          schedule::kRowHeight, this);
    m_grid->setObjectName(QStringLiteral("StringGrid1"));
    m_grid->setSelectionMode(QAbstractItemView::NoSelection);
    int width = 4 + m_grid->verticalScrollBar()->sizeHint().width();
    for (int c = 0; c < m_gridModel->columnCount(); ++c)
        width += m_grid->columnWidth(c);
    m_grid->setMinimumWidth(width);
    right->addWidget(m_grid, 1);
    auto* print = new QPushButton(qs(schedule::kPrintButton), this);
    print->setObjectName(QStringLiteral("SpeedButton1"));
    connect(print, &QPushButton::clicked, this, &TOddsSchejFormWindow::SpeedButton1Click);
    // The timetable as a PDF, also where no printer is installed.
    auto* pdf = new QPushButton(qs("PDFに保存"), this);
    pdf->setObjectName(QStringLiteral("PdfBtn"));
    connect(pdf, &QPushButton::clicked, this, &TOddsSchejFormWindow::PdfBtnClick);
    auto* printRow = new QHBoxLayout;
    printRow->addStretch();
    printRow->addWidget(pdf);
    printRow->addWidget(print);
    right->addLayout(printRow);
    m_progressLabel = new QLabel(this);
    m_progressLabel->setObjectName(QStringLiteral("ProgressLabel"));
    right->addWidget(m_progressLabel);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("ProgressBar1"));
    right->addWidget(m_bar);
    layout->addLayout(right, 1);
    resize(880, 560);
    refresh();
}

TOddsSchejFormWindow::~TOddsSchejFormWindow()
{
    *m_alive = false;
}

void TOddsSchejFormWindow::refresh()
{
    m_updating = true;
    const auto& items = m_form->CheckListBox1();
    if (m_list->count() != static_cast<int>(items.size())) {
        m_list->clear();
        for (const auto& item : items) {
            auto* w = new QListWidgetItem(qs(item.text), m_list);
            w->setFlags(w->flags() | Qt::ItemIsUserCheckable);
        }
    }
    for (int i = 0; i < m_list->count(); ++i)
        m_list->item(i)->setCheckState(items[static_cast<size_t>(i)].checked ? Qt::Checked
                                                                             : Qt::Unchecked);
    if (QAbstractButton* b = m_kind->button(m_form->RadioGroup1()))
        b->setChecked(true);
    m_progressLabel->setText(qs(m_form->ProgressLabel()));
    m_bar->setRange(0, std::max(1, m_form->ProgressBarMax()));
    m_bar->setValue(m_form->ProgressBarPosition());
    m_fetch->setEnabled(!m_fetching);
    m_updating = false;
}

void TOddsSchejFormWindow::N1Click()
{
    m_form->N1Click();
    refresh();
}

void TOddsSchejFormWindow::N2Click()
{
    m_form->N2Click();
    refresh();
}

void TOddsSchejFormWindow::OzGetBtnClick()
{
    if (m_fetching)
        return;
    std::optional<ScheduleFetch> plan = m_form->fetchPlan(m_person);
    refresh();
    if (!plan)
        return;
    RequestEvents events;
    auto alive = m_alive;
    events.status = [this, alive](const std::string& text) {
        if (!*alive)
            return;
        m_form->showStatus(text);
        refresh();
    };
    events.progress = [this, alive](int position, int maximum) {
        if (!*alive)
            return;
        m_form->showProgress(position, maximum);
        refresh();
    };
    events.done = [this, alive, reload = m_reloadAfterFetch, wb = &m_wb](const RequestOutcome&) {
        // Closed while fetching: the day was reloaded then; again now that the fetch
        // has stored what it fetched after the close.
        if (!*alive) {
            if (*reload)
                wb->DateComboChange(wb->state().DateComboIndex);
            return;
        }
        m_fetching = false;
        setCursor(Qt::ArrowCursor);
        refresh();
        // A whole run ends with its bar full: say so beside it.
        if (m_form->ProgressBarMax() > 0 &&
            m_form->ProgressBarPosition() >= m_form->ProgressBarMax())
            m_progressLabel->setText(qs("完了"));
    };
    if (m_wb.requestScheduleFetch(std::move(*plan), std::move(events)) != 0) {
        m_fetching = true;
        setCursor(Qt::BusyCursor);
        refresh();
    }
}

int TOddsSchejFormWindow::printOn(QPrinter& printer)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return -1;
    GridPrintMetrics metrics;
    const TextGrid& grid = m_form->StringGrid1();
    for (int c = 0; c < grid.columnCount(); ++c)
        metrics.columnWidths.push_back(m_grid->columnWidth(c));
    for (int r = 0; r < grid.rowCount(); ++r)
        metrics.rowHeights.push_back(m_grid->rowHeight(r));
    metrics.screenDpiX = m_grid->logicalDpiX();
    metrics.screenDpiY = m_grid->logicalDpiY();
    metrics.printerDpiX = printer.resolution();
    metrics.printerDpiY = printer.resolution();
    const QRect page = printer.pageLayout().fullRectPixels(printer.resolution());
    metrics.pageWidth = page.width();
    metrics.pageHeight = page.height();
    metrics.marginTopMm = schedule::kPrintTopMargin;
    QFont font = gothicFont(13);
    font.setPointSizeF(9);
    const std::string title(schedule::kPrintTitle);
    const std::string day = m_form->DateLabel();
    const int sheets = printGrid(painter, printer, grid, metrics, font, [&](QPainter& p) {
        const int x = mmToPixels(10, metrics.printerDpiX);
        p.drawText(QPoint(x, mmToPixels(4, metrics.printerDpiY) + p.fontMetrics().ascent()),
                   qs(title));
        p.drawText(QPoint(x, mmToPixels(8, metrics.printerDpiY) + p.fontMetrics().ascent()),
                   qs(day));
    });
    painter.end();
    return sheets;
}

int TOddsSchejFormWindow::printTo(const std::filesystem::path& pdf)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf.string()));
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setFullPage(true);
    return printOn(printer);
}

void TOddsSchejFormWindow::SpeedButton1Click()
{
    if (!requirePrinter(m_person))
        return;
    QPrinter& printer = sharedPrinter();
    printer.setDocName(windowTitle());
    printer.setFullPage(true);
    if (printOn(printer) < 0) {
        m_person.beep();
        m_person.information(kNoPrinterMessage);
    }
}

void TOddsSchejFormWindow::PdfBtnClick()
{
    std::string name = "オッズ取得予定" + m_form->DateLabel() + ".pdf";
    std::replace_if(
        name.begin(), name.end(), [](char c) { return c == '/' || c == '\\'; }, '-');
    savePdfAs(this, m_person, name, [this](const auto& file) { return printTo(file) >= 0; });
}

void TOddsSchejFormWindow::reloadOnce()
{
    // A running fetch goes on; the day is reloaded when the window goes.
    if (!m_closed) {
        m_closed = true;
        *m_reloadAfterFetch = m_fetching;
        m_wb.closeSchedule(*m_form);
    }
}

void TOddsSchejFormWindow::closeEvent(QCloseEvent* event)
{
    reloadOnce();
    QDialog::closeEvent(event);
}

void TOddsSchejFormWindow::done(int result)
{
    reloadOnce();
    QDialog::done(result);
}

} // namespace sorvantix::gui
