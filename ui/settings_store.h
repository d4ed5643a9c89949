// The wizard's choices between uses of the program: one text per key under the application
// "velodex" and the section "settings" of the per-user settings store (the registry on
// Windows, a file in the user's configuration folder elsewhere), keys matched without regard
// to case.
#pragma once

#include <QString>
#include <optional>

class QSettings;

namespace velodex {

class Wizard;

// The per-user store of the program: organisation and application "velodex".
inline constexpr const char* kSettingsApplication = "velodex";
inline constexpr const char* kSettingsSection = "settings";

// The value stored under key in the "settings" section, matching the key without regard to
// case (an exact match is preferred), or fallback when no key matches.
QString ReadSetting(QSettings& settings, const QString& key, const QString& fallback);
// Stores value under key, replacing a key that differs from it only in case.
void WriteSetting(QSettings& settings, const QString& key, const QString& value);

// A check box value: a whole number (surrounding blanks allowed) in the 16-bit range, of
// which 1 checks the box and any other number leaves it unchecked. nullopt when the text is
// not such a number.
std::optional<bool> CheckStateFromText(const QString& text);
// A sort button value: the words True and False in any case, or a whole number (0 false,
// any other true). nullopt for any other text.
std::optional<bool> TruthFromText(const QString& text);

// Reads the stored choices into the wizard's controls, in the store's reading order. Called
// once while the first step loads, after the other windows exist.
void LoadSettings(Wizard& wizard, QSettings& settings);
// Stores the controls' values in the saving order. Called only by the progress window's Quit.
void SaveSettings(const Wizard& wizard, QSettings& settings);

}  // namespace velodex
