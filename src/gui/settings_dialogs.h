#pragma once

#include "core/jvlink/jvlink_choice.h"

#include <QDialog>
#include <filesystem>
#include <functional>

class QSpinBox;
class QDialogButtonBox;
class QLineEdit;
class QRadioButton;

namespace sorvantix {
class Person;
class TIniGT;
} // namespace sorvantix

namespace sorvantix::gui {

// "ﾃﾞﾌｫﾙﾄ時刻設定": the default display time ("Time"/"First").
class TFirstTimeForm : public QDialog
{
    Q_OBJECT
public:
    TFirstTimeForm(const TIniGT& ini, Person& person, QWidget* parent = nullptr);
    QSpinBox* SpinEdit1 = nullptr; // hour 6..9
    QSpinBox* SpinEdit2 = nullptr; // minute 0..59
public slots:
    void BitBtn1Click();

private:
    const TIniGT& m_ini;
    Person& m_person;
};

// "データ自動取得時刻指定": minutes before post time and the results interval.
class TOzGetTimeForm : public QDialog
{
    Q_OBJECT
public:
    // `reloadDay` runs after the values are stored (the day loading again).
    TOzGetTimeForm(const TIniGT& ini, Person& person, std::function<void()> reloadDay,
                   QWidget* parent = nullptr);
    QSpinBox* SpinEdit3 = nullptr; // 5..59 minutes before post time
    QSpinBox* SpinEdit4 = nullptr; // 5..59 minutes between results fetches
public slots:
    void BitBtn1Click();

private:
    const TIniGT& m_ini;
    Person& m_person;
    std::function<void()> m_reloadDay;
};

// "オッズデータ取得時刻調整": the delay of the automatic odds acquisition.
class TTimeAddForm : public QDialog
{
    Q_OBJECT
public:
    TTimeAddForm(const TIniGT& ini, Person& person, QWidget* parent = nullptr);
    QSpinBox* SpinEdit2 = nullptr; // 0..15 minutes
public slots:
    void BitBtn1Click();

private:
    const TIniGT& m_ini;
    Person& m_person;
};

// "ﾊﾞｰｼﾞｮﾝ情報": the caption, the version text and what this build is.
class TVersionForm : public QDialog
{
    Q_OBJECT
public:
    // `jvLinkText`: which JV-Link is in use, and its version where known.
    explicit TVersionForm(const std::string& jvLinkText = {}, QWidget* parent = nullptr);
};

// "JV-Link設定": which JV-Link the program uses: the replay of a feed folder, the real
// JV-Link in a Wine prefix through the bridge, or the bridge started directly (WSL2);
// and the timeouts of the bridge's calls. `openComponentSettings` opens JV-Link's own
// dialog (service key) through the bridge in use.
class JvLinkSettingsDialog : public QDialog
{
    Q_OBJECT
public:
    JvLinkSettingsDialog(const JvLinkChoice& choice, const std::filesystem::path& feedFolder,
                         std::function<void()> openComponentSettings, QWidget* parent = nullptr);

    JvLinkChoice choice() const;
    std::filesystem::path feedFolder() const;
    // Chooses the kind and puts the focus on its first field.
    void showPage(JvLinkKind kind);

    QRadioButton* ReplayRadio = nullptr;
    QRadioButton* WineRadio = nullptr;
    QRadioButton* DirectRadio = nullptr;
    QLineEdit* FeedEdit = nullptr;
    QLineEdit* PrefixEdit = nullptr;
    QLineEdit* WineEdit = nullptr;
    QLineEdit* BridgeEdit = nullptr;
    QSpinBox* OpenTimeoutEdit = nullptr;
    QSpinBox* ReadTimeoutEdit = nullptr;

private:
    JvLinkChoice m_choice;
};

} // namespace sorvantix::gui
