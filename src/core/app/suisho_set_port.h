#pragma once

#include "core/app/settings_keys.h"
#include "core/app/suisho_set_model.h"
#include "core/text/ini_file.h"
#include "core/text/person.h"

namespace sorvantix {

// The parameter window's way to the person and the settings file.
class PersonSuishoSetPort : public SuishoSetPort
{
public:
    PersonSuishoSetPort(Person& person, const TIniGT& ini) : m_person(person), m_ini(ini) {}
    Person& person() { return m_person; }

    void information(const std::string& message) override { m_person.information(message); }
    bool askYesNo(const std::string& question) override { return m_person.question(question); }
    std::optional<int> readSetId() override { return readOptionalInt(settings::kSetID); }
    void writeSetId(int setId) override { writeSetting(m_ini, settings::kSetID, setId); }
    std::optional<int> readFirstTime() override
    {
        return readOptionalInt(settings::kFirstTimeInSuishoSet);
    }

private:
    std::optional<int> readOptionalInt(const IntSetting& s)
    {
        // A sentinel no stored value can hold tells "missing" from a stored number.
        constexpr int kMissing = -2147483647;
        int v = m_ini.ReadInteger(s.key.section, s.key.key, kMissing);
        if (v == kMissing)
            return std::nullopt;
        return v;
    }

    Person& m_person;
    const TIniGT& m_ini;
};

} // namespace sorvantix
