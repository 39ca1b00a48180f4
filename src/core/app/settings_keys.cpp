#include "core/app/settings_keys.h"

#include "core/text/day_name.h"
#include "core/text/field.h"
#include "core/text/format.h"
#include "core/text/ini_file.h"

#include <algorithm>

namespace sorvantix {

int readSetting(const TIniGT& ini, const IntSetting& setting)
{
    return ini.ReadInteger(setting.key.section, setting.key.key, setting.defaultValue);
}

std::string readSetting(const TIniGT& ini, const TextSetting& setting)
{
    return ini.ReadString(setting.key.section, setting.key.key, setting.defaultValue);
}

void writeSetting(const TIniGT& ini, const IntSetting& setting, int value)
{
    ini.WriteInteger(setting.key.section, setting.key.key, value);
}

void writeSetting(const TIniGT& ini, const TextSetting& setting, std::string_view value)
{
    ini.WriteString(setting.key.section, setting.key.key, value);
}

Bounds readBounds(const TIniGT& ini, const BoundsSettings& settings)
{
    return {readSetting(ini, settings.top), readSetting(ini, settings.left),
            readSetting(ini, settings.width), readSetting(ini, settings.height)};
}

PrintPreviewSettings readPrintPreviewSettings(const TIniGT& ini)
{
    PrintPreviewSettings s;
    const int item = readSetting(ini, settings::kPrintZoom);
    if (item >= 0 && item < static_cast<int>(kZoomChoices.size()))
        s.zoomItem = item;
    const Bounds b = readBounds(ini, settings::kPrintPreviewBounds);
    s.top = b.top;
    s.left = b.left;
    s.width = b.width;
    s.height = b.height;
    return s;
}

void writePrintPreviewSettings(const TIniGT& ini, const PrintPreviewSettings& s)
{
    writeSetting(ini, settings::kPrintZoom, s.zoomItem);
    writeBounds(ini, settings::kPrintPreviewBounds, {s.top, s.left, s.width, s.height});
}

void writeBounds(const TIniGT& ini, const BoundsSettings& settings, const Bounds& bounds)
{
    writeSetting(ini, settings.top, bounds.top);
    writeSetting(ini, settings.left, bounds.left);
    writeSetting(ini, settings.width, bounds.width);
    writeSetting(ini, settings.height, bounds.height);
}

HourMinute firstTimeFields(int stored)
{
    std::string text = format("%4d", stored);
    return {toIntDef(text.substr(0, 2), 0), toIntDef(text.substr(2, 2), 0)};
}

void writeFirstTime(const TIniGT& ini, int hour, int minute)
{
    ini.WriteString(settings::kFirstTime.section, settings::kFirstTime.key,
                    format("%02d%02d", hour, minute));
}

int autoOzGetDialogValue(std::string_view stored)
{
    return toIntDef(cp932Prefix(stored, 2), 0);
}

void writeAutoOzGet(const TIniGT& ini, int minutes)
{
    writeSetting(ini, settings::kAutoOzGet, format("%02d", minutes));
}

Bounds fitOnScreen(Bounds wanted, const Bounds& screen)
{
    wanted.width = std::min(wanted.width, screen.width);
    wanted.height = std::min(wanted.height, screen.height);
    wanted.left = std::clamp(wanted.left, screen.left, screen.left + screen.width - wanted.width);
    wanted.top = std::clamp(wanted.top, screen.top, screen.top + screen.height - wanted.height);
    return wanted;
}

} // namespace sorvantix
