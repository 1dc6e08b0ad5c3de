#pragma once
#include <string>
#include <vector>

#include "settings/Settings.h"

// Reads and parses the settings file at `path`. False (with `error` set) when it cannot be read.
bool loadSettingsFile(const std::string& path, Settings& out, std::string& error);

// Saves the presets into the settings file at `path`, keeping every line up
// to "[Presets]". The file is replaced in one step, so a failure leaves the
// previous file as it was. False with `error` set on failure.
bool savePresetsToFile(const std::string& path, const std::vector<Preset>& presets, std::string& error);
// The same, reading the file at `source` and writing the result to `target`
// (which is replaced in one step); `source` is left as it was.
bool savePresetsToFile(const std::string& source, const std::string& target, const std::vector<Preset>& presets,
                       std::string& error);

// Saves one preset into the settings read from `source`, written to
// `target`: it replaces the preset of its name there or is added at the end;
// `presets` receives the list written. Refused when the list is full.
bool savePresetToFile(const std::string& source, const std::string& target, const Preset& preset,
                      std::vector<Preset>& presets, std::string& error);

// Stores the reaction offset as "ReactionMs" in the settings file at
// `path`, replacing the file in one step. False with `error` set on failure.
bool saveReactionMsToFile(const std::string& path, int reactionMs, std::string& error);
// The same, reading the file at `source` and writing the result to `target`.
bool saveReactionMsToFile(const std::string& source, const std::string& target, int reactionMs, std::string& error);
