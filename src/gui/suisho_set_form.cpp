#include "gui/suisho_set_form.h"

#include "core/text/error.h"
#include "gui/gui_person.h"
#include "gui/qt_text.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace sorvantix::gui {

namespace {

// Copy boxes and the box they copy.
const std::map<std::string, std::string> kCopies{{"SEdit13", "SEdit10"}, {"SEdit14", "SEdit11"},
                                                 {"SEdit18", "SEdit16"}, {"SEdit23", "SEdit16"},
                                                 {"SEdit21", "SEdit19"}, {"SEdit22", "SEdit19"}};

const char* kBoxFill = "#FFFFC0";

} // namespace

TSuishoSetForm::TSuishoSetForm(Person& person, const TIniGT& ini, std::filesystem::path userSetFile,
                               int runnerCount, QWidget* parent)
    : QDialog(parent), m_port(person, ini), m_model(m_port, std::move(userSetFile), runnerCount)
{
    setObjectName(QStringLiteral("TSuishoSetForm"));
    setWindowTitle(qs("推奨馬設定"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);

    auto* top = new QHBoxLayout;
    m_sets = new QComboBox(this);
    m_sets->setObjectName(QStringLiteral("ComboBox1"));
    m_sets->setMinimumWidth(160);
    connect(m_sets, &QComboBox::activated, this, &TSuishoSetForm::ComboBox1Change);
    top->addWidget(m_sets);
    top->addWidget(new QLabel(qs("判定時刻"), this));
    auto* time = new QLineEdit(this);
    time->setObjectName(QStringLiteral("JudgeTimeEdit"));
    time->setReadOnly(true);
    time->setMaximumWidth(60);
    top->addWidget(time);
    top->addStretch();
    top->addWidget(new QLabel(qs("設定名："), this));
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("Edit1"));
    m_name->setMaxLength(SuishoSetModel::kNameMaxChars);
    m_name->setMaximumWidth(140);
    connect(m_name, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!m_updating)
            m_model.setNameText(us(text));
    });
    top->addWidget(m_name);
    auto* add = new QPushButton(qs("設定追加登録(R)"), this);
    add->setObjectName(QStringLiteral("BitBtn2"));
    add->setDefault(true);
    connect(add, &QPushButton::clicked, this, &TSuishoSetForm::BitBtn2Click);
    top->addWidget(add);
    auto* remove = new QPushButton(qs("設定削除"), this);
    remove->setObjectName(QStringLiteral("SpeedButton2"));
    connect(remove, &QPushButton::clicked, this, &TSuishoSetForm::SpeedButton2Click);
    top->addWidget(remove);
    layout->addLayout(top);

    // A sentence: texts and boxes in a row.
    auto sentence = [this](QWidget* parent, std::initializer_list<const char*> parts) {
        auto* row = new QHBoxLayout;
        for (const char* part : parts) {
            const std::string p(part);
            if (p.rfind("SEdit", 0) == 0)
                row->addWidget(addBox(part, kCopies.count(p) > 0));
            else
                row->addWidget(new QLabel(qs(p), parent));
        }
        row->addStretch();
        return row;
    };

    auto* top3 = new QGroupBox(qs("全シェア１～３人気"), this);
    auto* grid = new QGridLayout(top3);
    grid->addWidget(new QLabel(qs("推奨馬"), top3), 0, 0);
    grid->addWidget(new QLabel(qs("特奨馬"), top3), 0, 1);
    const char* b1[2] = {"SEdit1", "SEdit4"};
    const char* b2[2] = {"SEdit2", "SEdit5"};
    const char* b3[2] = {"SEdit3", "SEdit6"};
    for (int c = 0; c < 2; ++c) {
        auto* col = new QVBoxLayout;
        col->addWidget(new QLabel(qs("①全シェア１番人気の条件"), top3));
        col->addLayout(sentence(top3, {"PA≧1率", b1[c], "以上"}));
        col->addWidget(new QLabel(qs("②全シェア２番、３番人気の条件"), top3));
        col->addLayout(sentence(top3, {"1-3PA/S1", b2[c], "以上、または"}));
        col->addLayout(sentence(top3, {"全/S1", b3[c], "以上"}));
        grid->addLayout(col, 1, c);
    }
    layout->addWidget(top3);

    auto* rest = new QGroupBox(qs("全シェア４人気以降"), this);
    auto* r = new QVBoxLayout(rest);
    r->addLayout(sentence(
        rest, {"対象ｸﾞﾙｰﾌﾟA：", "全シェア４番人気以降で、全シェア", "SEdit7", "％以上の馬"}));
    r->addLayout(
        sentence(rest, {"対象ｸﾞﾙｰﾌﾟB：", "全シェア1番人気馬、および", "全シェア2～", "SEdit8",
                        "番人気の全シェア値≧1番人気の全シェア値×", "SEdit9", "の馬"}));
    auto* note =
        new QLabel(qs("※対象ｸﾞﾙｰﾌﾟAの馬と対象ｸﾞﾙｰﾌﾟBの馬との組合せのPA比を下記の条件にて判定し、"
                      "該当時には、対象ｸﾞﾙｰﾌﾟAの馬を推奨馬、および特奨馬とする。"),
                   rest);
    note->setWordWrap(true);
    // A wrapped label gets the room of its lines, not of one.
    note->setMinimumHeight(note->fontMetrics().lineSpacing() * 2 + 6);
    r->addWidget(note);
    r->addWidget(new QLabel(qs("推奨馬"), rest));
    r->addLayout(sentence(rest, {"①PA比", "SEdit10", "以上の馬"}));
    r->addLayout(sentence(rest, {"但し、PA比", "SEdit13", "以上が", "SEdit11",
                                 "個を越える時は、PA比上位", "SEdit14", "個までで判定する。"}));
    r->addWidget(new QLabel(qs("特奨馬"), rest));
    r->addLayout(sentence(rest, {"①PA比", "SEdit16", "以上が", "SEdit17", "個以下の時、PA比",
                                 "SEdit18", "以上の馬"}));
    r->addLayout(sentence(
        rest, {"②PA比", "SEdit19", "以上が", "SEdit20", "個の時、PA比", "SEdit21", "以上の馬"}));
    r->addLayout(
        sentence(rest, {"③PA比", "SEdit22", "以上複数＆PA比", "SEdit23",
                        "以上なしの時、2位のPA比と1位PA比の差が", "SEdit24", "以上のPA比1位馬"}));
    layout->addWidget(rest);
    auto* close = new QPushButton(qs("閉じる"), this);
    close->setObjectName(QStringLiteral("CloseBtn"));
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(close, 0, Qt::AlignRight);

    m_model.open();
    time->setText(qs(m_model.judgementTime()));
    refresh();
}

QLineEdit* TSuishoSetForm::addBox(const char* name, bool copy)
{
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setMaximumWidth(52);
    edit->setAlignment(Qt::AlignRight);
    edit->setStyleSheet(QStringLiteral("background-color: %1; color: %2;")
                            .arg(QLatin1String(kBoxFill),
                                 copy ? QStringLiteral("#808080") : QStringLiteral("#000000")));
    if (copy) {
        edit->setReadOnly(true);
        edit->setFocusPolicy(Qt::NoFocus);
    } else {
        edit->setMaxLength(5);
        // Numbers only while typing; the box rules then apply their limits.
        edit->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("[0-9]*\\.?[0-9]*")), edit));
        const std::string n(name);
        connect(edit, &QLineEdit::editingFinished, this, [this, n] { boxEdited(n); });
    }
    m_boxes[name] = edit;
    return edit;
}

void TSuishoSetForm::boxEdited(const std::string& name)
{
    if (m_updating)
        return;
    m_model.setBox(name, us(m_boxes.at(name)->text()));
    refresh();
}

void TSuishoSetForm::ComboBox1Change(int index)
{
    if (m_updating)
        return;
    guarded(m_port.person(), [&] { m_model.select(index); });
    refresh();
}

void TSuishoSetForm::BitBtn2Click()
{
    guarded(m_port.person(), [&] {
        m_model.setNameText(us(m_name->text()));
        m_model.registerSet();
    });
    refresh();
}

void TSuishoSetForm::SpeedButton2Click()
{
    guarded(m_port.person(), [&] { m_model.deleteSet(); });
    refresh();
}

void TSuishoSetForm::refresh()
{
    m_updating = true;
    m_sets->clear();
    for (const auto& name : m_model.setList())
        m_sets->addItem(qs(name));
    m_sets->setCurrentIndex(m_model.selectedIndex());
    for (auto& [name, edit] : m_boxes)
        edit->setText(qs(m_model.box(name)));
    m_name->setText(qs(m_model.nameText()));
    m_updating = false;
}

} // namespace sorvantix::gui
