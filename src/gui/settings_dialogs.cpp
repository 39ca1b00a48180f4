#include "gui/settings_dialogs.h"

#include "core/app/settings_keys.h"
#include "core/app/startup.h"
#include "core/text/ini_file.h"
#include "gui/gui_person.h"
#include "gui/qt_text.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace sorvantix::gui {

namespace {

// A dialog of wrapped texts at `width`, as tall as its texts need there: sizeHint()
// is the height of another width, which cut the texts or laid them over the boxes.
void fitToWidth(QDialog* dialog, int width)
{
    dialog->setMinimumWidth(width);
    QLayout* layout = dialog->layout();
    const int height = layout && layout->hasHeightForWidth() ? layout->totalHeightForWidth(width)
                                                             : dialog->sizeHint().height();
    dialog->setMinimumHeight(height);
    dialog->resize(width, height);
}

QSpinBox* spin(const char* name, int minimum, int maximum, int value, QWidget* parent)
{
    auto* box = new QSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(minimum, maximum);
    box->setValue(value);
    return box;
}

QLabel* wrapped(std::string_view text, QWidget* parent)
{
    auto* label = new QLabel(qs(text), parent);
    label->setWordWrap(true);
    return label;
}

// OK ("BitBtn1") and a cancel button; OK runs `ok`.
QDialogButtonBox* buttons(QDialog* dialog, const std::function<void()>& ok)
{
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QPushButton* okButton = box->button(QDialogButtonBox::Ok);
    okButton->setObjectName(QStringLiteral("BitBtn1"));
    okButton->setText(QStringLiteral("OK"));
    box->button(QDialogButtonBox::Cancel)->setText(qs("ｷｬﾝｾﾙ"));
    QObject::connect(okButton, &QPushButton::clicked, dialog, ok);
    QObject::connect(box, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return box;
}

QHBoxLayout* row(std::initializer_list<QWidget*> widgets)
{
    auto* layout = new QHBoxLayout;
    for (QWidget* w : widgets)
        layout->addWidget(w);
    layout->addStretch();
    return layout;
}

} // namespace

TFirstTimeForm::TFirstTimeForm(const TIniGT& ini, Person& person, QWidget* parent)
    : QDialog(parent), m_ini(ini), m_person(person)
{
    setObjectName(QStringLiteral("TFirstTimeForm"));
    setWindowTitle(qs("ﾃﾞﾌｫﾙﾄ時刻設定"));
    setAttribute(Qt::WA_DeleteOnClose);
    const HourMinute shown = firstTimeFields(readSetting(ini, settings::kFirstTimeInDialog));
    SpinEdit1 = spin("SpinEdit1", 6, 9, shown.hour, this);
    SpinEdit2 = spin("SpinEdit2", 0, 59, shown.minute, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        wrapped("時系列オッズデータを読み込んだ場合、最初に表示される時刻を設定します。"
                "これにより指定時刻に最も近い時刻が最初に(デフォルトで)読み込まれます。\n"
                "無視することができます。",
                this));
    layout->addLayout(row({new QLabel(qs("午前"), this), SpinEdit1, new QLabel(qs("時"), this),
                           SpinEdit2, new QLabel(qs("分"), this)}));
    layout->addWidget(new QLabel(qs("（午前６時～９時５９分までの任意の時間を指定）"), this));
    layout->addWidget(buttons(this, [this] { BitBtn1Click(); }));
    fitToWidth(this, 420);
}

void TFirstTimeForm::BitBtn1Click()
{
    if (guarded(m_person, [&] { writeFirstTime(m_ini, SpinEdit1->value(), SpinEdit2->value()); }))
        accept();
}

TOzGetTimeForm::TOzGetTimeForm(const TIniGT& ini, Person& person, std::function<void()> reloadDay,
                               QWidget* parent)
    : QDialog(parent), m_ini(ini), m_person(person), m_reloadDay(std::move(reloadDay))
{
    setObjectName(QStringLiteral("TOzGetTimeForm"));
    setWindowTitle(qs("データ自動取得時刻指定"));
    setAttribute(Qt::WA_DeleteOnClose);
    SpinEdit3 = spin("SpinEdit3", 5, 59,
                     autoOzGetDialogValue(readSetting(ini, settings::kAutoOzGet)), this);
    SpinEdit4 = spin("SpinEdit4", 5, 59, readSetting(ini, settings::kAutoRdataGet), this);
    auto* layout = new QVBoxLayout(this);
    auto* odds = new QGroupBox(qs("オッズ自動取得時刻指定"), this);
    auto* oddsLayout = new QVBoxLayout(odds);
    oddsLayout->addWidget(
        wrapped("ｵｯｽﾞを自動取得する際に各ﾚｰｽ発走何分前に取得機能を起動するかを指定します。", odds));
    oddsLayout->addLayout(
        row({new QLabel(qs("発走"), odds), SpinEdit3, new QLabel(qs("分前"), odds)}));
    auto* results = new QGroupBox(qs("結果情報自動取得時刻指定"), this);
    auto* resultsLayout = new QVBoxLayout(results);
    resultsLayout->addWidget(
        wrapped("随時更新されるﾚｰｽ結果情報を何分おきに自動取得するか指定します。", results));
    resultsLayout->addLayout(row({SpinEdit4, new QLabel(qs("分間隔"), results)}));
    layout->addWidget(odds);
    layout->addWidget(results);
    layout->addWidget(buttons(this, [this] { BitBtn1Click(); }));
    fitToWidth(this, 420);
}

void TOzGetTimeForm::BitBtn1Click()
{
    if (!guarded(m_person, [&] {
            writeAutoOzGet(m_ini, SpinEdit3->value());
            writeSetting(m_ini, settings::kAutoRdataGet, SpinEdit4->value());
        }))
        return;
    accept();
    if (m_reloadDay)
        m_reloadDay();
}

TTimeAddForm::TTimeAddForm(const TIniGT& ini, Person& person, QWidget* parent)
    : QDialog(parent), m_ini(ini), m_person(person)
{
    setObjectName(QStringLiteral("TTimeAddForm"));
    setWindowTitle(qs("オッズデータ取得時刻調整"));
    setAttribute(Qt::WA_DeleteOnClose);
    SpinEdit2 = spin("SpinEdit2", 0, 15, readSetting(ini, settings::kDelay), this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        wrapped("オッズを自動取得するときに指定時刻に何分かのディレイ（遅延）を発生させ、"
                "実際に取得されるオッズの時刻を調整することができます。"
                "下のボックスにて発生させたいディレイの長さを指定してください。",
                this));
    layout->addLayout(row({SpinEdit2, new QLabel(qs("分"), this)}));
    layout->addWidget(new QLabel(qs("（０分～１５分までの任意の時間を指定）"), this));
    layout->addWidget(buttons(this, [this] { BitBtn1Click(); }));
    fitToWidth(this, 420);
}

void TTimeAddForm::BitBtn1Click()
{
    if (guarded(m_person, [&] { writeSetting(m_ini, settings::kDelay, SpinEdit2->value()); }))
        accept();
}

TVersionForm::TVersionForm(const std::string& jvLinkText, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TVersionForm"));
    setWindowTitle(qs("ﾊﾞｰｼﾞｮﾝ情報"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(qs(kMainWindowCaption), this);
    QFont bold = title->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    title->setFont(bold);
    auto* version = new QLabel(qs(kVersionText), this);
    version->setObjectName(QStringLiteral("VersionLabel"));
    layout->addWidget(title);
    layout->addWidget(version);
    layout->addWidget(new QLabel(qs("Linux 版 (Qt 6)"), this));
    auto* jvLink = wrapped("使用中の JV-Link: " + jvLinkText, this);
    jvLink->setObjectName(QStringLiteral("JvLinkLabel"));
    layout->addWidget(jvLink);
    auto* ok = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(ok, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(ok);
}

namespace {

// A line edit with a "参照..." button that picks a folder or a file.
QLineEdit* pathRow(QFormLayout* form, const char* name, const char* label, const QString& value,
                   bool folder, QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    auto* edit = new QLineEdit(value, row);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setMinimumWidth(320);
    auto* browse = new QPushButton(qs("参照..."), row);
    QObject::connect(browse, &QPushButton::clicked, parent, [edit, folder, parent] {
        const QString chosen =
            folder ? QFileDialog::getExistingDirectory(parent, QString(), edit->text())
                   : QFileDialog::getOpenFileName(parent, QString(), edit->text());
        if (!chosen.isEmpty())
            edit->setText(chosen);
    });
    h->addWidget(edit);
    h->addWidget(browse);
    form->addRow(qs(label), row);
    return edit;
}

} // namespace

JvLinkSettingsDialog::JvLinkSettingsDialog(const JvLinkChoice& choice,
                                           const std::filesystem::path& feedFolder,
                                           std::function<void()> openComponentSettings,
                                           QWidget* parent)
    : QDialog(parent), m_choice(choice)
{
    setObjectName(QStringLiteral("JvLinkSettingsDialog"));
    setWindowTitle(qs("JV-Link設定"));
    auto* layout = new QVBoxLayout(this);
    const BridgeSettings& b = choice.bridge;

    auto* replayBox = new QGroupBox(this);
    ReplayRadio = new QRadioButton(qs("リプレイ（フィードのフォルダを再生する）"), replayBox);
    ReplayRadio->setObjectName(QStringLiteral("ReplayRadio"));
    auto* replayForm = new QFormLayout(replayBox);
    replayForm->addRow(ReplayRadio);
    FeedEdit = pathRow(replayForm, "FeedEdit", "フィードのフォルダ",
                       QString::fromStdString(feedFolder.string()), true, this);
    layout->addWidget(replayBox);

    auto* realBox = new QGroupBox(this);
    auto* realForm = new QFormLayout(realBox);
    WineRadio = new QRadioButton(qs("JV-Link（Wine で中継プログラムを起動する）"), realBox);
    WineRadio->setObjectName(QStringLiteral("WineRadio"));
    DirectRadio = new QRadioButton(qs("JV-Link（中継プログラムを直接起動する: WSL2）"), realBox);
    DirectRadio->setObjectName(QStringLiteral("DirectRadio"));
    realForm->addRow(WineRadio);
    PrefixEdit = pathRow(realForm, "PrefixEdit", "Wine のプレフィックス",
                         QString::fromStdString(b.winePrefix.string()), true, this);
    WineEdit = new QLineEdit(QString::fromStdString(b.runner.empty() ? "wine" : b.runner), realBox);
    WineEdit->setObjectName(QStringLiteral("WineEdit"));
    realForm->addRow(qs("wine プログラム"), WineEdit);
    realForm->addRow(DirectRadio);
    BridgeEdit = pathRow(realForm, "BridgeEdit", "中継プログラム",
                         QString::fromStdString(b.bridge.string()), false, this);
    OpenTimeoutEdit =
        spin("OpenTimeoutEdit", 1, 86400, static_cast<int>(b.openTimeout.count()), realBox);
    ReadTimeoutEdit =
        spin("ReadTimeoutEdit", 1, 86400, static_cast<int>(b.readTimeout.count()), realBox);
    realForm->addRow(qs("開くときの待ち時間（秒）"), OpenTimeoutEdit);
    realForm->addRow(qs("読むときの待ち時間（秒）"), ReadTimeoutEdit);
    auto* component = new QPushButton(qs("JV-Link の設定画面（サービスキー）..."), realBox);
    component->setObjectName(QStringLiteral("ComponentSettingsButton"));
    component->setEnabled(choice.kind == JvLinkKind::Bridge && openComponentSettings);
    connect(component, &QPushButton::clicked, this, [open = std::move(openComponentSettings)] {
        if (open)
            open();
    });
    realForm->addRow(component);
    layout->addWidget(realBox);
    layout->addWidget(wrapped("サービスキーや利用規約には JV-Link の設定画面で本人が答えます。"
                              "JV-Link の種類を変えたときは次回の起動から使われます。",
                              this));

    // The three kinds sit in two boxes: one group keeps them exclusive across both.
    auto* kinds = new QButtonGroup(this);
    for (QRadioButton* r : {ReplayRadio, WineRadio, DirectRadio})
        kinds->addButton(r);
    if (choice.kind == JvLinkKind::Replay)
        ReplayRadio->setChecked(true);
    else if (b.runner.empty())
        DirectRadio->setChecked(true);
    else
        WineRadio->setChecked(true);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(box);
}

JvLinkChoice JvLinkSettingsDialog::choice() const
{
    JvLinkChoice c = m_choice;
    c.kind = ReplayRadio->isChecked() ? JvLinkKind::Replay : JvLinkKind::Bridge;
    c.bridge.bridge = BridgeEdit->text().toStdString();
    c.bridge.runner =
        DirectRadio->isChecked() ? std::string() : WineEdit->text().trimmed().toStdString();
    c.bridge.winePrefix =
        DirectRadio->isChecked() ? std::string() : PrefixEdit->text().toStdString();
    c.bridge.openTimeout = std::chrono::seconds(OpenTimeoutEdit->value());
    c.bridge.readTimeout = std::chrono::seconds(ReadTimeoutEdit->value());
    return c;
}

void JvLinkSettingsDialog::showPage(JvLinkKind kind)
{
    if (kind == JvLinkKind::Replay) {
        ReplayRadio->setChecked(true);
        FeedEdit->setFocus();
    } else {
        if (!WineRadio->isChecked() && !DirectRadio->isChecked())
            WineRadio->setChecked(true);
        PrefixEdit->setFocus();
    }
}

std::filesystem::path JvLinkSettingsDialog::feedFolder() const
{
    return FeedEdit->text().toStdString();
}

} // namespace sorvantix::gui
