#include "gui/print_preview_form.h"

#include "core/app/settings_keys.h"
#include "core/text/person.h"
#include "gui/gui_person.h"
#include "gui/page_painter.h"
#include "gui/qt_text.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

namespace sorvantix::gui {

namespace {

constexpr int kScreenDpi = 96; // the design's screen, for pen widths

// The paper at the zoom: a white sheet with a black border, the printable area dotted,
// the page's display list on it.
class SheetWidget : public QWidget
{
public:
    SheetWidget(const PrintPage& page, const int& zoom, QWidget* parent)
        : QWidget(parent), m_page(page), m_zoom(zoom)
    {
    }
    QSize sizeHint() const override
    {
        return QSize(static_cast<int>(pixels(m_page.width)) + 20,
                     static_cast<int>(pixels(m_page.height)) + 20);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Dark));
        const QRectF paper(10, 10, pixels(m_page.width), pixels(m_page.height));
        painter.fillRect(paper, Qt::white);
        painter.setPen(Qt::black);
        painter.drawRect(paper);
        painter.translate(10, 10);
        const double scale = m_zoom / 100.0;
        painter.scale(scale, scale);
        const int dpi = logicalDpiX();
        paintPage(painter, m_page, dpi, logicalDpiY(), kScreenDpi);
    }

private:
    double pixels(int tenths) const { return tenths / 254.0 * logicalDpiX() * m_zoom / 100.0; }
    const PrintPage& m_page;
    const int& m_zoom;
};

} // namespace

bool printerInstalled()
{
    return !QPrinterInfo::availablePrinterNames().isEmpty();
}

bool requirePrinter(Person& person)
{
    if (printerInstalled())
        return true;
    person.beep();
    person.information(kNoPrinterMessage);
    return false;
}

void showPrinterSetup(Person& person, QWidget* parent)
{
    if (!requirePrinter(person))
        return;
    QPrintDialog dialog(&sharedPrinter(), parent);
    dialog.exec();
}

QPrinter& sharedPrinter()
{
    static QPrinter printer(QPrinter::HighResolution);
    return printer;
}

TPrintPreviewForm::TPrintPreviewForm(PrintPage page, const TIniGT& ini, Person& person,
                                     QWidget* parent)
    : QDialog(parent), m_page(std::move(page)), m_ini(ini), m_person(person)
{
    setObjectName(QStringLiteral("TPrintPreviewForm"));
    setWindowTitle(qs(kPrintPreviewCaption));
    setAttribute(Qt::WA_DeleteOnClose);
    const PrintPreviewSettings settings = readPrintPreviewSettings(ini);
    m_zoomItem = settings.zoomItem;
    m_zoom = zoomOfItem(m_zoomItem);

    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    auto button = [this, bar](const char* name, std::string_view caption, auto slot) {
        auto* b = new QPushButton(qs(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        connect(b, &QPushButton::clicked, this, slot);
        bar->addWidget(b);
        return b;
    };
    button("PrintBtn", "印刷(&P)", &TPrintPreviewForm::PrintBtnClick);
    button("PrinterSetupBtn", "ﾌﾟﾘﾝﾀ設定(&S)", &TPrintPreviewForm::PrinterSetupBtnClick);
    button("PdfBtn", "PDFに保存", &TPrintPreviewForm::PdfBtnClick);
    bar->addSpacing(16);
    bar->addWidget(new QLabel(qs("倍率"), this));
    m_zoomBox = new QComboBox(this);
    m_zoomBox->setObjectName(QStringLiteral("ZoomGroup"));
    for (int z : kZoomChoices)
        m_zoomBox->addItem(QStringLiteral("%1%").arg(z));
    // Our addition after the fixed zooms: the whole page in the window, at any size.
    m_zoomBox->addItem(qs("ページ全体"));
    m_zoomBox->setCurrentIndex(m_zoomItem);
    connect(m_zoomBox, &QComboBox::activated, this, &TPrintPreviewForm::ZoomChange);
    bar->addWidget(m_zoomBox);
    bar->addStretch();
    button("CloseBtn", "閉じる", &QDialog::accept);
    layout->addLayout(bar);
    m_scroll = new QScrollArea(this);
    m_sheet = new SheetWidget(m_page, m_zoom, m_scroll);
    m_scroll->setWidget(m_sheet);
    m_scroll->setAlignment(Qt::AlignHCenter);
    layout->addWidget(m_scroll, 1);
    applyZoom();
    setGeometry(settings.left, settings.top, settings.width, settings.height);
    // A window smaller than the page at its zoom grows to show it whole, as far as
    // the screen allows.
    if (QScreen* screen = QGuiApplication::screenAt(geometry().center())
                              ? QGuiApplication::screenAt(geometry().center())
                              : QGuiApplication::primaryScreen()) {
        const QRect room = screen->availableGeometry().adjusted(0, 30, 0, 0);
        const QSize page = m_sheet->sizeHint() + QSize(40, bar->sizeHint().height() + 40);
        const QSize size = page.expandedTo(this->size()).boundedTo(room.size());
        QRect bounds(pos(), size);
        bounds.moveLeft(std::clamp(bounds.left(), room.left(), room.right() - size.width()));
        bounds.moveTop(std::clamp(bounds.top(), room.top(), room.bottom() - size.height()));
        setGeometry(bounds);
    }
}

bool TPrintPreviewForm::fitsWholePage() const
{
    return m_zoomBox->currentIndex() == static_cast<int>(kZoomChoices.size());
}

void TPrintPreviewForm::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (fitsWholePage())
        ZoomChange(m_zoomBox->currentIndex());
}

TPrintPreviewForm::~TPrintPreviewForm() = default;

QSize TPrintPreviewForm::pageSizeAt100() const
{
    const double dpi = m_sheet->logicalDpiX();
    return {static_cast<int>(m_page.width / 254.0 * dpi),
            static_cast<int>(m_page.height / 254.0 * m_sheet->logicalDpiY())};
}

void TPrintPreviewForm::applyZoom()
{
    m_sheet->resize(m_sheet->sizeHint());
    m_sheet->update();
}

void TPrintPreviewForm::ZoomChange(int item)
{
    if (item == static_cast<int>(kZoomChoices.size())) {
        // The zoom at which the paper and its margin fit the visible area; the saved
        // item stays the last fixed one.
        const QSize room = m_scroll->viewport()->size();
        const QSize at100 = pageSizeAt100();
        const double fit = std::min((room.width() - 24) / static_cast<double>(at100.width()),
                                    (room.height() - 24) / static_cast<double>(at100.height()));
        m_zoom = std::clamp(static_cast<int>(fit * 100), 10, 200);
        applyZoom();
        return;
    }
    m_zoom = acceptZoom(m_zoom, zoomOfItem(item));
    m_zoomItem = item;
    guarded(m_person, [&] { writeSetting(m_ini, settings::kPrintZoom, item); });
    applyZoom();
}

QImage TPrintPreviewForm::render(int dpi) const
{
    QImage image(tenthMmToDevice(m_page.width, dpi), tenthMmToDevice(m_page.height, dpi),
                 QImage::Format_RGB32);
    image.setDotsPerMeterX(static_cast<int>(dpi / 0.0254 + 0.5));
    image.setDotsPerMeterY(static_cast<int>(dpi / 0.0254 + 0.5));
    image.fill(Qt::white);
    QPainter painter(&image);
    paintPage(painter, m_page, dpi, dpi, kScreenDpi);
    return image;
}

bool TPrintPreviewForm::savePdf(const std::filesystem::path& file)
{
    QPrinter pdf(QPrinter::HighResolution);
    pdf.setOutputFormat(QPrinter::PdfFormat);
    pdf.setOutputFileName(QString::fromStdString(file.string()));
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    pdf.setDocName(qs(kPrintPreviewCaption));
    pdf.setCreator(QStringLiteral("Sorvantix"));
    QPainter painter;
    if (!painter.begin(&pdf))
        return false;
    paintPage(painter, m_page, pdf.resolution(), pdf.resolution(), kScreenDpi);
    return painter.end();
}

void TPrintPreviewForm::PrintBtnClick()
{
    if (!requirePrinter(m_person))
        return;
    QPrinter& printer = sharedPrinter();
    printer.setDocName(windowTitle());
    // The page's coordinates start at the printable area (the timetable prints on the
    // full page with the same printer).
    printer.setFullPage(false);
    QPainter painter;
    if (!painter.begin(&printer)) {
        m_person.beep();
        m_person.information(kNoPrinterMessage);
        return;
    }
    paintPage(painter, m_page, printer.resolution(), printer.resolution(), kScreenDpi);
    painter.end();
}

void TPrintPreviewForm::PrinterSetupBtnClick()
{
    showPrinterSetup(m_person, this);
}

void savePdfAs(QWidget* parent, Person& person, const std::string& defaultName,
               const std::function<bool(const std::filesystem::path&)>& write)
{
    const std::filesystem::path file =
        chooseSaveFile(parent, qs("PDFに保存"), qs(defaultName), QStringLiteral("PDF (*.pdf)"));
    if (file.empty())
        return;
    if (!write(file)) {
        person.beep();
        person.information("PDFを書き込めません: " + file.string());
        return;
    }
    person.information("PDFに保存しました: " + file.string());
}

void TPrintPreviewForm::PdfBtnClick()
{
    savePdfAs(this, m_person, m_pdfName, [this](const auto& file) { return savePdf(file); });
}

void TPrintPreviewForm::saveSettings()
{
    if (m_saved)
        return;
    m_saved = true;
    const QRect g = geometry();
    try {
        writePrintPreviewSettings(m_ini, {m_zoomItem, g.top(), g.left(), g.width(), g.height()});
    } catch (const std::exception&) {
        // The preview closes either way; only its place is not kept.
    }
}

void TPrintPreviewForm::closeEvent(QCloseEvent* event)
{
    saveSettings();
    QDialog::closeEvent(event);
}

void TPrintPreviewForm::done(int result)
{
    saveSettings();
    QDialog::done(result);
}

} // namespace sorvantix::gui
