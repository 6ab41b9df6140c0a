#include "report/settings_report.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>
#include <system_error>
#include <vector>

#include "config/leading_number.h"
#include "config/setting_keys.h"
#include "config/settings.h"

namespace {

// The settings file as the C library opens it on every platform.
constexpr const char kSlashedSettingsPath[] = "Plugins/Startup Plugins/Talvex.ini";

std::string shortest(double value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string shortest(float value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string quoted(const std::string& raw) {
    std::string text = "\"";
    for (const char c : raw) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F || c == '"' || c == '\\') {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            text += escaped;
        } else {
            text += c;
        }
    }
    return text + "\"";
}

// The colour component an in-use float stands for: the file's integer when
// taken, else the default, recovered exactly since both were scaled by 1/255.
int componentOf(float stored) {
    for (int v = 0; v <= 255; ++v) {
        if (static_cast<float>(double(v) * double(0.0039215689f)) == stored) return v;
    }
    return -1;
}

std::string valueInUse(const SettingKey& key, const Settings& s, const ToleranceSettings& t) {
    if (key.kind == SettingKind::text) return quoted(s.fontFace);
    const double value = key.inUse(s, t);
    switch (key.kind) {
        case SettingKind::colour: {
            const float stored = static_cast<float>(value);
            return std::to_string(componentOf(stored)) + " (" + shortest(stored) + ")";
        }
        case SettingKind::switchOff:
        case SettingKind::switchOn:
            return value != 0.0 ? "on" : "off";
        case SettingKind::integer:
            return std::to_string(static_cast<long long>(value));
        default:
            return shortest(static_cast<float>(value));
    }
}

// The number as read, and how, when the text is not just that number.
std::string readingOf(SettingKind kind, const std::string& text) {
    const bool isFloat = kind == SettingKind::decimal;
    const std::string number = isFloat ? shortest(leadingDouble(text.c_str()))
                                       : std::to_string(leadingInteger(text.c_str()));
    return number == text ? number : quoted(text) + " reads as " + number;
}

std::string why(SettingKind kind, const std::string& range, const std::string& text, bool noFile,
                bool absent, const SettingOutcome& outcome) {
    if (noFile) return "default: no file";
    if (absent) return "default: no such key in [CONFIG]";
    if (text.empty()) return "default: the value is empty";
    if (kind == SettingKind::text) {
        return outcome.taken ? "taken, used as written (installed fonts are not checked)"
                             : "default";
    }
    const std::string reading = readingOf(kind, text);
    const bool plain = reading.find(" reads as ") == std::string::npos;
    // A flag's value is always the file's once found: it either moves the
    // flag off its default or leaves it there.
    const std::string which = plain ? " is" : ", which is";
    switch (kind) {
        case SettingKind::switchOff:
            return outcome.taken
                       ? "taken: " + reading + (plain ? "" : ", which") +
                             " turns the depth test off"
                       : "taken: " + reading + which + " not 0, so the depth test stays on";
        case SettingKind::switchOn:
            return outcome.taken
                       ? "taken: " + reading + (plain ? "" : ", which") + " turns dashed lines on"
                       : "taken: " + reading + which + " not above 0, so dashed lines stay off";
        default:
            if (outcome.taken) return plain ? "taken" : "taken: " + reading;
            return "default: " + reading + which + " outside " + range;
    }
}

// Lines of the file the profile API would never use for a setting: other
// keys in [CONFIG] (misspelt ones, mostly) and [CONFIG] sections after the
// first. A light scan of ASCII lines; the API's answers above are the truth.
void writeFileNotes(std::ostream& out, const std::string& bytes) {
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        out << "note: the file starts with a UTF-8 byte-order mark; Windows then does not see a "
               "section\n"
               "      header on the first line. Save the file as ANSI, or start it with an empty "
               "line.\n";
    }
    std::istringstream lines(bytes);
    std::string line;
    int number = 0;
    int configSections = 0;
    bool inConfig = false;
    int seenAt[kSettingKeyCount] = {};
    const auto trim = [](std::string s) {
        const auto first = s.find_first_not_of(" \t\r\n\v\f\x1A");
        if (first == std::string::npos) return std::string();
        return s.substr(first, s.find_last_not_of(" \t\r\n\v\f\x1A") - first + 1);
    };
    const auto sameName = [](const std::string& a, const char* b) {
        if (a.size() != std::strlen(b)) return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            const char x = a[i] >= 'a' && a[i] <= 'z' ? char(a[i] - 32) : a[i];
            if (x != b[i]) return false;
        }
        return true;
    };
    while (std::getline(lines, line) && number < 1000000) {
        ++number;
        const std::string content = trim(line);
        if (content.empty() || content[0] == ';') continue;
        const auto close = content.rfind(']');
        if (content[0] == '[' && close != std::string::npos) {
            inConfig = sameName(trim(content.substr(1, close - 1)), kSettingsSection);
            if (inConfig && ++configSections == 2) {
                out << "note: line " << number
                    << " starts a second [CONFIG] section; only the first is read.\n";
            }
            continue;
        }
        if (!inConfig || configSections != 1) continue;
        const auto equals = content.find('=');
        const std::string name = trim(content.substr(0, equals));
        int known = -1;
        for (int i = 0; i < kSettingKeyCount; ++i) {
            if (sameName(name, kSettingKeys[i].name)) known = i;
        }
        if (known < 0) {
            if (equals != std::string::npos) {
                out << "note: line " << number << ": " << quoted(name)
                    << " is not a settings key.\n";
            }
            continue;
        }
        // The first line of a key is the one read, even one without '='.
        if (seenAt[known] != 0) {
            out << "note: line " << number << " repeats " << kSettingKeys[known].name << "; line "
                << seenAt[known] << " is the one read.\n";
        } else {
            seenAt[known] = number;
            if (equals == std::string::npos) {
                out << "note: line " << number << " names " << kSettingKeys[known].name
                    << " without '=', which hides any later value for it.\n";
            }
        }
    }
}

// Back to the directory the report started in, however it ends.
struct DirectoryRestorer {
    std::filesystem::path previous = std::filesystem::current_path();
    ~DirectoryRestorer() {
        std::error_code ignored;
        std::filesystem::current_path(previous, ignored);
    }
};

void writeReport(std::ostream& out, const std::string& directory) {
    out << "Settings file: " << kSettingsPath << " in " << directory << "\n";
    DirectoryRestorer restorer;
    std::error_code error;
    std::filesystem::current_path(directory, error);
    if (error) {
        out << "The directory cannot be entered.\n";
        return;
    }

    std::string bytes;
    const bool isDirectory = std::filesystem::is_directory(kSlashedSettingsPath, error);
    std::FILE* file = isDirectory ? nullptr : std::fopen(kSlashedSettingsPath, "rb");
    if (file != nullptr) {
        char chunk[65536];
        for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
            bytes.append(chunk, got);
        std::fclose(file);
        out << "File: found, " << bytes.size() << " bytes.\n";
    } else if (isDirectory) {
        out << "File: that path is a directory; every key takes its default.\n";
    } else if (std::filesystem::exists(
                   std::filesystem::symlink_status(kSlashedSettingsPath, error))) {
        out << "File: present but cannot be opened; every key takes its default.\n";
    } else {
        out << "File: not found; every key takes its default.\n";
    }

    auto profile = std::make_unique<ProfileReader>();
    Settings settings{};
    ToleranceSettings tolerances{};
    SettingOutcome outcomes[kSettingKeyCount] = {};
    loadSettings(*profile, settings, tolerances, outcomes);

    int taken = 0;
    out << "\n  # key                         in file          in use           why\n";
    for (int i = 0; i < kSettingKeyCount; ++i) {
        const SettingKey& key = kSettingKeys[i];
        char raw[kProfileTextSize];
        const bool absent = !readSettingText(key.name, raw, sizeof raw) || file == nullptr;
        const std::string text = absent ? "" : raw;
        const SettingOutcome& outcome = outcomes[i];
        const bool isSwitch =
            key.kind == SettingKind::switchOff || key.kind == SettingKind::switchOn;
        taken += outcome.taken || (isSwitch && outcome.found == 1) ? 1 : 0;

        char number[8];
        std::snprintf(number, sizeof number, "%3d ", i + 1);
        std::string line = std::string(number) + key.name;
        line.resize(std::max<std::size_t>(line.size() + 2, 32), ' ');
        line += absent ? "none" : quoted(text);
        line.resize(std::max<std::size_t>(line.size() + 2, 49), ' ');
        line += valueInUse(key, settings, tolerances);
        line.resize(std::max<std::size_t>(line.size() + 2, 66), ' ');
        out << line << why(key.kind, key.rangeText, text, file == nullptr, absent, outcome) << "\n";
    }
    out << "\n" << taken << " of " << kSettingKeyCount << " keys taken from the file.\n";
    if (file != nullptr) writeFileNotes(out, bytes);
}

}  // namespace

void writeSettingsReport(std::ostream& out, const std::string& directory) noexcept {
    try {
        writeReport(out, directory);
    } catch (const std::exception& failure) {
        out << "The report stopped: " << failure.what() << "\n";
    }
}

std::string settingsReport(const std::string& directory) noexcept {
    try {
        std::ostringstream out;
        writeSettingsReport(out, directory);
        return out.str();
    } catch (const std::exception&) {
        return std::string();
    }
}
