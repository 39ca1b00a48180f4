#include "gui/get_data_form.h"

#include "core/app/card_acquisition.h"
#include "core/app/workbench.h"
#include "core/text/format.h"
#include "gui/qt_text.h"

#include <QCloseEvent>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace sorvantix::gui {

namespace {

QDateTime toQt(const LocalDateTime& t)
{
    return QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second));
}

LocalDateTime fromQt(const QDateTime& t)
{
    return LocalDateTime{t.date().year(), t.date().month(),  t.date().day(),
                         t.time().hour(), t.time().minute(), t.time().second()};
}

} // namespace

TGetDataFormWindow::TGetDataFormWindow(Workbench& workbench, JvLink& jvLink, Person& person,
                                       std::function<void()> jvLinkSettings, QWidget* parent)
    : QDialog(parent), m_wb(workbench), m_jvLinkSettings(std::move(jvLinkSettings))
{
    setObjectName(QStringLiteral("TGetDataForm"));
    setWindowTitle(qs("ＪＶデータ取込"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);

    auto* kind = new QGroupBox(qs("取得データ"), this);
    auto* kindLayout = new QHBoxLayout(kind);
    m_normal = new QRadioButton(qs("通常データ"), kind);
    m_normal->setObjectName(QStringLiteral("rbtNormal"));
    m_setup = new QRadioButton(qs("セットアップデータ"), kind);
    m_setup->setObjectName(QStringLiteral("rbtSetup"));
    kindLayout->addWidget(m_normal);
    kindLayout->addWidget(m_setup);
    auto* head = new QHBoxLayout;
    head->addWidget(kind);
    auto* dates = new QVBoxLayout;
    dates->addWidget(new QLabel(qs("ファイル識別子: RACE"), this));
    // The date the service's data reaches (the last file read), beside its caption.
    auto* provided = new QHBoxLayout;
    provided->addWidget(new QLabel(qs("データ提供日FROM"), this));
    m_provided = new QLabel(this);
    m_provided->setObjectName(QStringLiteral("ProvidedFromLabel"));
    provided->addWidget(m_provided, 1);
    dates->addLayout(provided);
    dates->addWidget(new QLabel(qs("取得開始日付"), this));
    m_from = new QDateTimeEdit(this);
    m_from->setObjectName(QStringLiteral("DateTimePicker1"));
    m_from->setDisplayFormat(QStringLiteral("yyyy'年'MM'月'dd'日' HH:mm:ss"));
    m_from->setCalendarPopup(true);
    dates->addWidget(m_from);
    head->addLayout(dates);
    layout->addLayout(head);

    auto* buttons = new QHBoxLayout;
    m_start = new QPushButton(qs("データ取込み開始"), this);
    m_start->setObjectName(QStringLiteral("ButtonStart"));
    connect(m_start, &QPushButton::clicked, this, &TGetDataFormWindow::ButtonStartClick);
    auto* cancel = new QPushButton(qs("データ取込み中止"), this);
    cancel->setObjectName(QStringLiteral("ButtonCancel"));
    connect(cancel, &QPushButton::clicked, this, &TGetDataFormWindow::ButtonCancelClick);
    auto* settings = new QPushButton(qs("JVLink設定"), this);
    settings->setObjectName(QStringLiteral("SpeedButton1"));
    settings->setToolTip(qs("JRA-VAN　Data Lab.のサービスキーやデータ保存場所の設定をします"));
    connect(settings, &QPushButton::clicked, this, &TGetDataFormWindow::SpeedButton1Click);
    buttons->addWidget(m_start);
    buttons->addWidget(cancel);
    buttons->addStretch();
    buttons->addWidget(settings);
    layout->addLayout(buttons);

    m_progressLabel = new QLabel(this);
    m_progressLabel->setObjectName(QStringLiteral("ProgressLabel"));
    layout->addWidget(m_progressLabel);
    auto bar = [this, layout](const char* name, std::string_view caption) {
        auto* row = new QHBoxLayout;
        auto* label = new QLabel(qs(caption), this);
        label->setMinimumWidth(80);
        row->addWidget(label);
        auto* b = new QProgressBar(this);
        b->setObjectName(QString::fromLatin1(name));
        row->addWidget(b, 1);
        layout->addLayout(row);
        return b;
    };
    m_download = bar("ProgressBar1", "ダウンロード");
    m_read = bar("ProgressBar2", "読込み");
    layout->addWidget(new QLabel(qs("作成済みデータ"), this));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("ListBox1"));
    m_list->setUniformItemSizes(true);
    layout->addWidget(m_list, 1);
    m_label5 = new QLabel(this);
    m_label5->setObjectName(QStringLiteral("Label5"));
    m_label5->setVisible(false);
    resize(560, 480);

    // The window's opening: the from-date and the kind as the form chooses them.
    std::atomic<bool> unused{false};
    TGetDataForm form(jvLink, m_wb.appDir().root(), m_wb.ini(), m_wb.clock(), person, unused);
    form.FormCreate();
    showView(form.view());
}

TGetDataFormWindow::~TGetDataFormWindow()
{
    *m_alive = false;
}

void TGetDataFormWindow::showView(const GetDataFormView& view)
{
    (view.rbtSetup ? m_setup : m_normal)->setChecked(true);
    m_from->setDateTime(toQt(view.DateTimePicker1));
    m_label5->setText(qs(view.Label5));
    m_provided->setText(qs(view.Label5));
    m_progressLabel->setText(qs(view.ProgressLabel));
    m_download->setRange(0, std::max(1, view.ProgressBar1Max));
    m_download->setValue(view.ProgressBar1Position);
    m_read->setRange(0, std::max(1, view.ProgressBar2Max));
    m_read->setValue(view.ProgressBar2Position);
    for (const auto& line : view.ListBox1)
        m_list->addItem(qs(line));
    if (!view.ListBox1.empty())
        m_list->scrollToBottom();
    setCursor(view.busyCursor ? Qt::BusyCursor : Qt::ArrowCursor);
}

void TGetDataFormWindow::ButtonStartClick()
{
    if (m_running)
        return;
    Workbench::CardRequest request;
    request.setup = m_setup->isChecked();
    request.from = fromQt(m_from->dateTime());
    Workbench::CardEvents events;
    auto alive = m_alive;
    events.view = [this, alive](const GetDataFormView& view) {
        if (*alive)
            showView(view);
    };
    events.done = [this, alive](const Workbench::CardRun& run) {
        if (*alive)
            finished(run.outcome);
    };
    m_list->clear();
    if (m_wb.requestCards(request, std::move(events)) != 0) {
        m_running = true;
        m_start->setEnabled(false);
    }
}

void TGetDataFormWindow::finished(CardRunOutcome outcome)
{
    m_running = false;
    m_outcome = static_cast<int>(outcome);
    m_start->setEnabled(true);
    setCursor(Qt::ArrowCursor);
    // A whole read leaves both bars full; a cancel says so.
    if (outcome == CardRunOutcome::Completed) {
        m_download->setValue(m_download->maximum());
        m_read->setValue(m_read->maximum());
    } else if (outcome == CardRunOutcome::Cancelled) {
        m_progressLabel->setText(qs("中止しました"));
    }
    if (m_closeWhenDone)
        close();
}

void TGetDataFormWindow::ButtonCancelClick()
{
    m_wb.cancelCards();
}

void TGetDataFormWindow::SpeedButton1Click()
{
    if (m_running)
        return;
    if (m_jvLinkSettings)
        m_jvLinkSettings();
}

bool TGetDataFormWindow::readyToClose()
{
    // A run in progress is cancelled first (with the window's question); the window
    // closes when it has stopped.
    if (m_running) {
        if (m_wb.cancelCards().isDone())
            m_closeWhenDone = true;
        return false;
    }
    if (!m_dayListRebuilt) {
        m_dayListRebuilt = true;
        m_wb.MakeDataListBtnClick();
        // The newest day, with its races listed.
        if (!m_wb.state().DateCombo.empty())
            m_wb.DateComboChange(0);
    }
    return true;
}

void TGetDataFormWindow::closeEvent(QCloseEvent* event)
{
    if (!readyToClose()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TGetDataFormWindow::done(int result)
{
    if (readyToClose())
        QDialog::done(result);
}

} // namespace sorvantix::gui
