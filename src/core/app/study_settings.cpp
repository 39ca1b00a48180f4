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

namespace {

// Three percents from "20,30,40" and a floor from "0.3"; a value that is not a number in
// range keeps the default, so a hand-edited file never switches an alert off by accident.
void readDropLevels(const TIniGT& ini, const TextSetting& percents, const TextSetting& floor,
                    DropLevels& levels)
{
    const std::string text = readSetting(ini, percents);
    size_t start = 0;
    for (double& percent : levels.percent) {
        const size_t comma = text.find(',', start);
        const auto value = parseDouble(text.substr(start, comma - start));
        if (value && *value > 0 && *value < 100)
            percent = *value;
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    const auto points = parseDouble(readSetting(ini, floor));
    if (points && *points >= 0 && *points < 10000)
        levels.floor = *points;
}

std::string percentsText(const DropLevels& levels)
{
    return fixed(levels.percent[0], 0, 0) + "," + fixed(levels.percent[1], 0, 0) + "," +
           fixed(levels.percent[2], 0, 0);
}

} // namespace

AlertSettings readAlertSettings(const TIniGT& ini)
{
    AlertSettings s;
    s.singularPair = readSetting(ini, settings::kAlertSingular) != 0;
    s.tokusho = readSetting(ini, settings::kAlertTokusho) != 0;
    auto level = parseDouble(readSetting(ini, settings::kAlertPaLevel));
    s.paLevel = level && *level > 0 && *level < 1000 ? *level : 0;
    s.oddsDrop = readSetting(ini, settings::kAlertDrop) != 0;
    readDropLevels(ini, settings::kAlertWinDrop, settings::kAlertWinFloor, s.winDrop);
    readDropLevels(ini, settings::kAlertQuinellaDrop, settings::kAlertQuinellaFloor,
                   s.quinellaDrop);
    return s;
}

void writeAlertSettings(const TIniGT& ini, const AlertSettings& s)
{
    writeSetting(ini, settings::kAlertSingular, s.singularPair ? 1 : 0);
    writeSetting(ini, settings::kAlertTokusho, s.tokusho ? 1 : 0);
    writeSetting(ini, settings::kAlertPaLevel, fixed(s.paLevel, 0, 2));
    writeSetting(ini, settings::kAlertDrop, s.oddsDrop ? 1 : 0);
    writeSetting(ini, settings::kAlertWinDrop, percentsText(s.winDrop));
    writeSetting(ini, settings::kAlertWinFloor, fixed(s.winDrop.floor, 0, 1));
    writeSetting(ini, settings::kAlertQuinellaDrop, percentsText(s.quinellaDrop));
    writeSetting(ini, settings::kAlertQuinellaFloor, fixed(s.quinellaDrop.floor, 0, 1));
}

} // namespace sorvantix
