#pragma once

#include "core/app/suisho_set_model.h"
#include "core/app/suisho_set_port.h"

#include <QDialog>
#include <map>
#include <string>

class QComboBox;
class QLineEdit;

namespace sorvantix::gui {

// The window "推奨馬設定" (TSuishoSetForm): the set list, the 16 value boxes with their
// read-only copies, the name box, register and delete, shown from the core's model.
// Choosing a set makes it the active one for the main window's next analysis run.
class TSuishoSetForm : public QDialog
{
    Q_OBJECT
public:
    // `runnerCount`: the registered runners of the race selected in the main window
    // (0 without one); it caps the integer boxes.
    TSuishoSetForm(Person& person, const TIniGT& ini, std::filesystem::path userSetFile,
                   int runnerCount, QWidget* parent = nullptr);
    const SuishoSetModel& model() const { return m_model; }
    QLineEdit* box(const std::string& name) const { return m_boxes.at(name); }

public slots:
    void ComboBox1Change(int index);
    void BitBtn2Click();      // 設定追加登録(R)
    void SpeedButton2Click(); // 設定削除

private:
    QLineEdit* addBox(const char* name, bool copy);
    void boxEdited(const std::string& name);
    void refresh();

    PersonSuishoSetPort m_port;
    SuishoSetModel m_model;
    QComboBox* m_sets = nullptr;
    QLineEdit* m_name = nullptr;
    std::map<std::string, QLineEdit*> m_boxes;
    bool m_updating = false;
};

} // namespace sorvantix::gui
