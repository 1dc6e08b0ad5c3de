#pragma once
#include <string>
#include <vector>

#include "base/Result.h"
#include "settings/Settings.h"

// Every function here reports a Result naming the settings file that failed.

// Reads and parses the settings file at `path`.
Result loadSettingsFile(const std::string& path, Settings& out);

// Saves the presets into the settings file at `path`, keeping every line up
// to "[Presets]". The file is replaced in one step, so a failure leaves the
// previous file as it was.
Result savePresetsToFile(const std::string& path, const std::vector<Preset>& presets);
// The same, reading the file at `source` and writing the result to `target`
// (which is replaced in one step); `source` is left as it was.
Result savePresetsToFile(const std::string& source, const std::string& target, const std::vector<Preset>& presets);

// Saves one preset into the settings read from `source`, written to
// `target`: it replaces the preset of its name there or is added at the end;
// `presets` receives the list written. Refused when the list is full.
Result savePresetToFile(const std::string& source, const std::string& target, const Preset& preset,
                        std::vector<Preset>& presets);

// Stores the reaction offset as "ReactionMs" in the settings file at
// `path`, replacing the file in one step.
Result saveReactionMsToFile(const std::string& path, int reactionMs);
// The same, reading the file at `source` and writing the result to `target`.
Result saveReactionMsToFile(const std::string& source, const std::string& target, int reactionMs);
