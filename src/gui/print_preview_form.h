#pragma once

#include "core/present/print_page.h"

#include <QDialog>
#include <filesystem>
#include <functional>

class QComboBox;
class QScrollArea;
class QPrinter;

namespace sorvantix {
class TIniGT;
class Person;
} // namespace sorvantix

namespace sorvantix::gui {

// The preview window "分析結果印刷": the page at a chosen zoom, 印刷(&P), ﾌﾟﾘﾝﾀ設定(&S),
// PDFに保存 (an addition of this platform) and a close button. Its zoom and bounds are
// read from "PrintZoom" and "Printlocate" when it is made and written when it closes.
class TPrintPreviewForm : public QDialog
{
    Q_OBJECT
public:
    TPrintPreviewForm(PrintPage page, const TIniGT& ini, Person& person, QWidget* parent = nullptr);
    ~TPrintPreviewForm() override;

    int zoom() const { return m_zoom; }
    const PrintPage& page() const { return m_page; }
    // Renders the page as the printer would, at `dpi`, into an image (white paper).
    QImage render(int dpi) const;
    // Writes the page as a one-page PDF (A4). False when the file cannot be written.
    bool savePdf(const std::filesystem::path& file);
    // The name PDFに保存 offers ("2026年12月06日阪神11R.pdf"; "分析結果.pdf" until set).
    void setPdfName(const std::string& name) { m_pdfName = name; }

public slots:
    void PrintBtnClick();        // 印刷(&P)
    void PrinterSetupBtnClick(); // ﾌﾟﾘﾝﾀ設定(&S)
    void PdfBtnClick();          // PDFに保存
    void ZoomChange(int item);   // 倍率

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void done(int result) override;

private:
    std::string m_pdfName = "分析結果.pdf";
    void saveSettings();
    void applyZoom();
    bool fitsWholePage() const;
    QSize pageSizeAt100() const;

    PrintPage m_page;
    const TIniGT& m_ini;
    Person& m_person;
    int m_zoomItem = 1;
    int m_zoom = 50;
    QComboBox* m_zoomBox = nullptr;
    QScrollArea* m_scroll = nullptr;
    QWidget* m_sheet = nullptr;
    bool m_saved = false;
};

// Whether a printer is installed; the report and the printer set-up need one.
bool printerInstalled();
// True when a printer is installed; otherwise a beep and "プリンタが登録されていません".
bool requirePrinter(Person& person);
// The platform's printer set-up dialog on the program's printer (after requirePrinter).
void showPrinterSetup(Person& person, QWidget* parent);
// The program's printer, kept for the set-up dialog's choices.
QPrinter& sharedPrinter();
// "PDFに保存": asks for the file (offering `defaultName`), writes it with `write` (false
// when it could not) and says where it went or that it failed.
void savePdfAs(QWidget* parent, Person& person, const std::string& defaultName,
               const std::function<bool(const std::filesystem::path&)>& write);

} // namespace sorvantix::gui
