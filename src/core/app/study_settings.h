#pragma once

#include "core/study/backtest.h"
#include "core/study/odds_alerts.h"
#include "core/text/ini_file.h"

#include <filesystem>
#include <string>
#include <vector>

namespace sorvantix {

// The settings the studies take from the program's own: parameter sets, the decision
// times of the automatic acquisition and the window, the alerts.

// Set `id` by name and values: 0 = the analysis's built-in set "既定値", k = line k of
// the parameter set file. A set that cannot be used stands in as the built-in set,
// with the reason added to `warnings`.
ParamSet paramSet(int id, const std::filesystem::path& userSetFile,
                  std::vector<std::string>* warnings = nullptr);
// The active set ("UserSetting"/"SetID").
ParamSet activeParamSet(const TIniGT& ini, const std::filesystem::path& userSetFile,
                        std::vector<std::string>* warnings = nullptr);

// A decision with the lead, delay and default time the settings hold.
Decision decisionWithSettings(Decision decision, const TIniGT& ini);

AlertSettings readAlertSettings(const TIniGT& ini);
// Throws Error when the settings file cannot be written.
void writeAlertSettings(const TIniGT& ini, const AlertSettings& settings);

} // namespace sorvantix
