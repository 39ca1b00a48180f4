#include "gui/suisho_list_form.h"

#include "gui/grid_view.h"
#include "gui/qt_text.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace sorvantix::gui {

TSuishoListForm::TSuishoListForm(std::filesystem::path suishoDir, QWidget* parent)
    : QDialog(parent), m_model(std::move(suishoDir))
{
    setObjectName(QStringLiteral("TSuishoListForm"));
    setWindowTitle(qs(kSuishoTableCaption));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QHBoxLayout(this);
    auto* side = new QVBoxLayout;
    m_years = new QComboBox(this);
    m_years->setObjectName(QStringLiteral("ComboBox1"));
    connect(m_years, &QComboBox::activated, this, &TSuishoListForm::ComboBox1Click);
    side->addWidget(m_years);
    m_files = new QListWidget(this);
    m_files->setObjectName(QStringLiteral("ListBox1"));
    m_files->setFont(gothicFont(13));
    connect(m_files, &QListWidget::currentRowChanged, this, &TSuishoListForm::ListBox1Click);
    side->addWidget(m_files, 1);
    auto* close = new QPushButton(qs("閉じる"), this);
    close->setObjectName(QStringLiteral("CloseBtn"));
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    side->addWidget(close);
    layout->addLayout(side);

    auto* main = new QVBoxLayout;
    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("TitleLabel"));
    m_title->setFont(gothicFont(15, true));
    main->addWidget(m_title);
    m_gridModel = new TextGridModel(
        m_model.StringGrid5(),
        [this](int column, int row) { return m_model.StringGrid5DrawCell(column, row); }, this);
    std::vector<int> widths;
    for (int c = 0; c < SuishoTableModel::kColumns; ++c)
        widths.push_back(SuishoTableModel::columnWidth(c));
    m_grid = new GridView(m_gridModel, gridFont(13), widths, SuishoTableModel::kRowHeight, this);
    m_grid->setObjectName(QStringLiteral("StringGrid5"));
    main->addWidget(m_grid, 1);
    m_warnings = new QLabel(this);
    m_warnings->setObjectName(QStringLiteral("WarningLabel"));
    m_warnings->setWordWrap(true);
    m_warnings->setStyleSheet(QStringLiteral("color: #800000;"));
    main->addWidget(m_warnings);
    layout->addLayout(main, 1);
    resize(1060, 330);
}

bool TSuishoListForm::load()
{
    if (!m_model.open())
        return false;
    refresh();
    return true;
}

void TSuishoListForm::ComboBox1Click(int index)
{
    if (m_updating)
        return;
    m_model.ComboBox1Click(index);
    refresh();
}

void TSuishoListForm::ListBox1Click(int row)
{
    if (m_updating || row < 0)
        return;
    m_model.ListBox1Click(row);
    refresh();
}

void TSuishoListForm::refresh()
{
    m_updating = true;
    m_years->clear();
    for (const auto& y : m_model.years())
        m_years->addItem(qs(y));
    m_years->setCurrentIndex(m_model.yearIndex());
    m_files->clear();
    for (const auto& f : m_model.files())
        m_files->addItem(qs(f));
    m_files->setCurrentRow(m_model.fileIndex());
    m_title->setText(qs(m_model.title()));
    QStringList warnings;
    for (const auto& w : m_model.warnings())
        warnings << qs(w);
    m_warnings->setText(warnings.join(QLatin1Char('\n')));
    m_warnings->setVisible(!warnings.isEmpty());
    m_gridModel->reload();
    m_updating = false;
}

} // namespace sorvantix::gui
