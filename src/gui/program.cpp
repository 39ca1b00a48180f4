#include "gui/program.h"

#include "core/app/startup.h"
#include "gui/qt_text.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <clocale>

namespace sorvantix::gui {

namespace fs = std::filesystem;

void setUpApplication()
{
    // QApplication set the locale from the environment; the core's printf formatting
    // must keep "." as its decimal point.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("sorvantix"));
    QApplication::setApplicationDisplayName(qs("ソルヴァン法"));
    // Qt's own dialogs and buttons (file dialogs, Yes/No, Cancel) in Japanese, from
    // Debian's qt6-translations-l10n; without it they stay English.
    auto* qtJapanese = new QTranslator(qApp);
    if (qtJapanese->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(qtJapanese);
    else
        delete qtJapanese;
    const QStringList families = QFontDatabase::families();
    for (const char* name : {"Noto Sans CJK JP", "IPAPGothic", "IPAGothic"}) {
        if (families.contains(QString::fromLatin1(name))) {
            QFont font(QString::fromLatin1(name));
            font.setPointSize(9);
            QApplication::setFont(font);
            break;
        }
    }
}

Program::Program(const std::optional<std::string>& appDir, const Clock* clock)
    : m_appDir(resolveAppDir(appDir)), m_clock(clock ? *clock : m_systemClock)
{
    // One writer at a time on the folder: a wait for another program is said on the
    // status line (the wait may come on the request thread).
    installWriteLock(m_appDir.root(), kDefaultWriteLockWait, [this](const std::string& text) {
        m_ownerQueue.post([this, text] { m_person.status(text); });
    });
    std::error_code ec;
    std::filesystem::create_directories(m_appDir.root(), ec);
    m_instance = InstanceLock::tryTake(m_appDir.root());
    // The JV-Link chosen for the folder; what its bridge meets goes to the error log
    // (from the request thread, through the event loop).
    m_choice = readJvLinkChoice(m_appDir.root());
    m_jvLink = makeJvLink(
        m_appDir.root(), m_choice,
        [this](const std::string& message) {
            m_ownerQueue.post([this, message] {
                if (m_workbench)
                    m_workbench->appendError(message);
            });
        },
        &m_clock);
    m_workbench = std::make_unique<Workbench>(m_appDir, m_person, m_clock);
    // Reports of the request queue arrive as calls on the Qt event loop.
    m_workbench->connectJvLink(
        m_jvLink.get(), [this](std::function<void()> call) { m_ownerQueue.post(std::move(call)); });
    m_window = std::make_unique<TMainForm>(*m_workbench, m_person, m_jvLink.get());
    m_person.setParent(m_window.get());
}

Program::~Program()
{
    // The window goes before the Workbench it shows; the Workbench stops its queue.
    m_window.reset();
    m_workbench.reset();
    uninstallWriteLock();
}

std::optional<std::string> Program::jvLinkMissing() const
{
    std::error_code ec;
    if (m_choice.kind == JvLinkKind::Bridge) {
        const BridgeSettings& b = m_choice.bridge;
        std::string missing;
        if (!fs::is_regular_file(b.bridge, ec))
            missing = "中継プログラム（" + b.bridge.string() + "）がありません。";
        else if (!b.runner.empty() && !b.winePrefix.empty() && !fs::is_directory(b.winePrefix, ec))
            missing = "Wineのプレフィックス（" + b.winePrefix.string() + "）がありません。";
        if (missing.empty())
            return std::nullopt;
        return std::string(kJvLinkMissingMessage) + "\n\n" + missing +
               "\nメニュー「ﾕｰｻﾞｰ指定」の「JV-Link設定」で選び直すか、"
               "sorvantix-cli jvlink --wine-prefix DIR で指定してください。\n"
               "保存済みのレース日はこのまま分析できます。";
    }
    const auto* replay = dynamic_cast<const ReplayJvLink*>(m_jvLink.get());
    if (replay == nullptr || fs::is_directory(replay->feedFolder(), ec))
        return std::nullopt;
    return std::string(kJvLinkMissingMessage) +
           "\n\nこの環境の JV-Link は再生用フィードのフォルダ（" + replay->feedFolder().string() +
           "）から配信します。フォルダがありません。\n"
           "メニュー「ﾕｰｻﾞｰ指定」の「JV-Link設定」で選ぶか、"
           "sorvantix-cli jvlink --feed DIR で指定してください。\n"
           "保存済みのレース日はこのまま分析できます。";
}

void Program::show()
{
    m_window->show();
    m_window->FormShow();
    if (!m_instance.held()) {
        m_person.beep();
        m_person.information(
            "このアプリケーションフォルダ（" + m_appDir.root().string() +
            "）は他のソルヴァン法の画面で開かれています。\n"
            "表示や分析はこのまま使えます。データの書き込みは一つずつ順番に行われます。");
    }
    if (auto missing = jvLinkMissing()) {
        m_person.beep();
        m_person.information(*missing);
        // A folder without a day has nothing to show yet: offer the two ways in.
        if (m_workbench->state().DateCombo.empty())
            m_window->showFirstStartGuide();
    }
}

} // namespace sorvantix::gui
