#include "config/settings.h"

#include <cstring>

#include "config/setting_keys.h"
#include "platform/platform.h"

namespace {

bool inRange(const SettingRange& range, double value) {
    const bool aboveLower = range.lowerIncluded ? value >= range.lower : value > range.lower;
    return aboveLower && value <= range.upper;
}

// Reads one key as its kind says and stores the file's value or the default.
SettingOutcome loadKey(ProfileReader& profile, const SettingKey& key, Settings& settings,
                       ToleranceSettings& tolerances) {
    std::int32_t found = 0;
    bool taken = false;
    switch (key.kind) {
        case SettingKind::text: {
            char field[kProfileTextSize] = {};
            std::int32_t size = sizeof field;
            profile.readString(kSettingsSection, key.name, field, &size, &found);
            taken = found == 1 && size != 0 && field[0] != '\0';
            key.storeText(settings, taken ? field : key.fallbackText);
            return SettingOutcome{found, taken};
        }
        case SettingKind::decimal: {
            float rounded = 0.0f;
            const double value = profile.readFloat(kSettingsSection, key.name, &rounded, &found);
            taken = found == 1 && inRange(key.range, value);
            key.store(settings, tolerances, taken ? value : key.fallback);
            return SettingOutcome{found, taken};
        }
        default: {
            std::int32_t value = 0;
            profile.readInteger(kSettingsSection, key.name, &value, &found);
            if (key.kind == SettingKind::switchOff || key.kind == SettingKind::switchOn) {
                // A switch the file can only move away from its default.
                taken = found == 1 && (key.kind == SettingKind::switchOff ? value == 0 : value > 0);
                const bool fallbackOn = key.fallback != 0.0;
                key.store(settings, tolerances, (taken ? !fallbackOn : fallbackOn) ? 1.0 : 0.0);
            } else {
                taken = found == 1 && inRange(key.range, double(value));
                key.store(settings, tolerances, taken ? double(value) : key.fallback);
            }
            return SettingOutcome{found, taken};
        }
    }
}

void storeDefaults(Settings& settings, ToleranceSettings& tolerances) {
    for (const SettingKey& key : kSettingKeys) {
        if (key.kind == SettingKind::text)
            key.storeText(settings, key.fallbackText);
        else
            key.store(settings, tolerances, key.fallback);
    }
}

}  // namespace

Settings defaultSettings() noexcept {
    Settings settings{};
    ToleranceSettings tolerances{};
    storeDefaults(settings, tolerances);
    return settings;
}

ToleranceSettings defaultTolerances() noexcept {
    Settings settings{};
    ToleranceSettings tolerances{};
    storeDefaults(settings, tolerances);
    return tolerances;
}

void loadSettings(ProfileReader& profile, Settings& settings, ToleranceSettings& tolerances,
                  SettingOutcome* outcomes) noexcept {
    profile.reset();
    profile.setPath(kSettingsPath);
    profile.loadTable("SECTION", "ROWDATA");
    for (int i = 0; i < kSettingKeyCount; ++i) {
        const SettingOutcome outcome = loadKey(profile, kSettingKeys[i], settings, tolerances);
        if (outcomes != nullptr) outcomes[i] = outcome;
    }
}

bool readSettingText(const char* name, char* buffer, std::uint32_t size) noexcept {
    // Answered by the profile API for a key that is not in the file, where an
    // empty value answers "": no settings value is ever this text.
    static const char kAbsent[] = "\x01\x02";
    if (buffer == nullptr || size == 0) return false;
    platform::readProfileString(kSettingsSection, name, kAbsent, buffer, size, kSettingsPath);
    if (std::strcmp(buffer, kAbsent) != 0) return true;
    buffer[0] = '\0';
    return false;
}
