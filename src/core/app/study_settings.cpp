#include "core/app/study_settings.h"

#include "core/app/settings_keys.h"
#include "core/text/field.h"
#include "core/text/format.h"

namespace sorvantix {

ParamSet paramSet(int id, const std::filesystem::path& userSetFile,
                  std::vector<std::string>* warnings)
{
    ActiveParams active = loadActiveParams(id, userSetFile);
    ParamSet set{"既定値", active.params};
    if (active.warning) {
        if (warnings)
            warnings->push_back(*active.warning);
        return set;
    }
    if (id > 0) {
        const auto lines = readUserSetLines(userSetFile);
        set.name = suishoLineName(lines.at(static_cast<size_t>(id - 1)));
    }
    return set;
}

ParamSet activeParamSet(const TIniGT& ini, const std::filesystem::path& userSetFile,
                        std::vector<std::string>* warnings)
{
    return paramSet(readSetting(ini, settings::kSetID), userSetFile, warnings);
}

Decision decisionWithSettings(Decision d, const TIniGT& ini)
{
    d.lead = toIntDef(readSetting(ini, settings::kAutoOzGet), 30);
    d.delay = readSetting(ini, settings::kDelay);
    const std::string first = readSetting(ini, settings::kFirstTimeInRaceList);
    if (first.size() == 4 && isDigits(first))
        d.firstTime = first;
    return d;
}

AlertSettings readAlertSettings(const TIniGT& ini)
{
    AlertSettings s;
    s.singularPair = readSetting(ini, settings::kAlertSingular) != 0;
    s.tokusho = readSetting(ini, settings::kAlertTokusho) != 0;
    auto level = parseDouble(readSetting(ini, settings::kAlertPaLevel));
    s.paLevel = level && *level > 0 && *level < 1000 ? *level : 0;
    return s;
}

void writeAlertSettings(const TIniGT& ini, const AlertSettings& s)
{
    writeSetting(ini, settings::kAlertSingular, s.singularPair ? 1 : 0);
    writeSetting(ini, settings::kAlertTokusho, s.tokusho ? 1 : 0);
    writeSetting(ini, settings::kAlertPaLevel, fixed(s.paLevel, 0, 2));
}

} // namespace sorvantix
